// Writes a workbook with exceljs whose formulas are shared, as exceljs writes a formula filled down.
//   node write.js NODE_MODULES OUT.xlsx
const path = require('path');
const ExcelJS = require(path.join(process.argv[2], 'exceljs'));
(async () => {
  const book = new ExcelJS.Workbook();
  const sheet = book.addWorksheet('Fill');
  for (let row = 1; row <= 5; row++) sheet.getCell('A' + row).value = row;
  sheet.getCell('B1').value = {formula: 'A1*2+$A$1', result: 3};
  for (let row = 2; row <= 5; row++) sheet.getCell('B' + row).value = {sharedFormula: 'B1', result: row * 2 + 1};
  sheet.getCell('C1').value = 'text';
  sheet.getCell('C2').value = {richText: [{text: 'rich '}, {font: {bold: true}, text: 'text'}]};
  sheet.getCell('D1').value = {formula: 'SUM(A1:A5)', result: 15};
  await book.xlsx.writeFile(process.argv[3]);
})();
