// Reads the workbooks given with SheetJS and exceljs and prints, as one JSON object, what each shows of
// every cell: {file: {reader: {sheet: {ref: {v, f}}}}}; a reader that refuses a file gives {error}.
//   node read.js NODE_MODULES FILE...
const path = require('path');
const modules = process.argv[2];
const XLSX = require(path.join(modules, 'xlsx'));
const ExcelJS = require(path.join(modules, 'exceljs'));

function sheetjs(file) {
  const book = XLSX.readFile(file, {cellFormula: true, sheetStubs: true});
  const out = {};
  for (const name of book.SheetNames) {
    const sheet = book.Sheets[name];
    out[name] = {};
    for (const ref of Object.keys(sheet)) {
      if (ref[0] === '!') continue;
      const cell = sheet[ref];
      const value = cell.t === 'e' ? cell.w : cell.t === 'z' || cell.v === undefined ? null : cell.v;
      out[name][ref] = {v: value, f: cell.f || null};
    }
  }
  return out;
}

async function exceljs(file) {
  const book = new ExcelJS.Workbook();
  await book.xlsx.readFile(file);
  const out = {};
  book.eachSheet((sheet) => {
    out[sheet.name] = {};
    sheet.eachRow({includeEmpty: false}, (row) => row.eachCell({includeEmpty: false}, (cell) => {
      let value = cell.value;
      let formula = null;
      if (value && typeof value === 'object' && ('formula' in value || 'sharedFormula' in value)) {
        formula = value.formula || null;
        value = value.result === undefined ? null : value.result;
      }
      if (value && typeof value === 'object' && 'error' in value) value = value.error;
      if (value && typeof value === 'object' && 'richText' in value) value = value.richText.map((r) => r.text).join('');
      out[sheet.name][cell.address] = {v: value, f: formula};
    }));
  });
  return out;
}

(async () => {
  const result = {};
  for (const file of process.argv.slice(3)) {
    result[file] = {};
    try { result[file].sheetjs = sheetjs(file); } catch (e) { result[file].sheetjs = {error: String(e)}; }
    try { result[file].exceljs = await exceljs(file); } catch (e) { result[file].exceljs = {error: String(e)}; }
  }
  process.stdout.write(JSON.stringify(result));
})();
