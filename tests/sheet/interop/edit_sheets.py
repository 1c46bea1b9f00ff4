"""After adding, deleting, moving, renaming and hiding sheets and writing cells with our library,
openpyxl reads back exactly what the edits should give."""
import os
import sys

import openpyxl
from openpyxl.workbook.defined_name import DefinedName

from common import Checker, run_tool, temp_dir


def make_input(path):
    wb = openpyxl.Workbook()
    wb.active.title = "Alpha"
    wb["Alpha"]["A1"] = "alpha"
    for name in ("Beta", "Gamma", "Delta"):
        wb.create_sheet(name)["A1"] = name.lower()
    for index, name in enumerate(wb.sheetnames):
        wb.defined_names.append(DefinedName(f"local_{name}", localSheetId=index, attr_text=f"{name}!$A$1"))
    wb.defined_names.append(DefinedName("global_beta", attr_text="Beta!$A$1"))
    wb.active = 2  # Gamma
    wb.save(path)


def main(tool):
    check = Checker()
    with temp_dir() as tmp:
        source = os.path.join(tmp, "in.xlsx")
        out = os.path.join(tmp, "out.xlsx")
        make_input(source)
        run_tool(tool, source,
                 "add", "New Sheet", "set", "New Sheet", "A1", "int", "5", "set", "New Sheet", "B2", "str", "hello",
                 "set", "New Sheet", "C3", "formula", "A1*2", "set", "New Sheet", "D4", "float", "0.25",
                 "set", "New Sheet", "E5", "bool", "1", "inline", "1", "set", "New Sheet", "F6", "str", " inline ",
                 "delete", "Beta", "move", "Delta", "1", "rename", "Gamma", "Gamma Renamed",
                 "state", "Alpha", "hidden", "set", "Alpha", "C7", "int", "-3", "width", "New Sheet", "2", "21.5",
                 "height", "New Sheet", "3", "33", "hiderow", "New Sheet", "4", "1", "save", out)
        wb = openpyxl.load_workbook(out)
        check.equal("sheet order", wb.sheetnames, ["Delta", "Alpha", "Gamma Renamed", "New Sheet"])
        check.equal("states", [wb[n].sheet_state for n in wb.sheetnames], ["visible", "hidden", "visible", "visible"])
        check.equal("active sheet follows its sheet", wb.active.title, "Gamma Renamed")
        new = wb["New Sheet"]
        check.equal("int", new["A1"].value, 5)
        check.equal("shared string", new["B2"].value, "hello")
        check.equal("formula", new["C3"].value, "=A1*2")
        check.equal("float", new["D4"].value, 0.25)
        check.equal("bool", new["E5"].value, True)
        check.equal("inline string", new["F6"].value, " inline ")
        check.equal("column width", new.column_dimensions["B"].width, 21.5)
        check.equal("row height", new.row_dimensions[3].height, 33)
        check.equal("row hidden", new.row_dimensions[4].hidden, True)
        check.equal("hidden sheet cell", wb["Alpha"]["C7"].value, -3)
        for name in ("Alpha", "Gamma Renamed", "Delta"):
            check.equal(f"{name} A1", wb[name]["A1"].value, name.split()[0].lower())
        # Sheet-local names stay with their sheets; the deleted sheet's name is gone.
        local = {d.name: (d.localSheetId, d.attr_text) for d in wb.defined_names.definedName if d.localSheetId is not None}
        check.equal("sheet-local names", local, {
            "local_Delta": (0, "Delta!$A$1"), "local_Alpha": (1, "Alpha!$A$1"),
            "local_Gamma": (2, "'Gamma Renamed'!$A$1")})
        names = [d.name for d in wb.defined_names.definedName if d.localSheetId is None]
        check.equal("global name kept", names, ["global_beta"])
        # Refused edits change nothing and report failure.
        bad = __import__("subprocess").run([tool, out, "delete", "Nope"], capture_output=True)
        check.equal("deleting a missing sheet fails", bad.returncode, 1)
    check.finish()


if __name__ == "__main__":
    main(sys.argv[1])
