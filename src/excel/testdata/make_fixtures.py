#!/usr/bin/python3
"""Makes the workbook fixtures of the excel tests. Run from this folder."""
import datetime


def make_xlsx():
    import openpyxl
    book = openpyxl.Workbook()
    people = book.active
    people.title = "Phone list"
    people.append(["이름", "전화", None, "등록일"])
    people.append(["김철수", 1012345678, "01098765432", datetime.date(2024, 3, 5)])
    people.append(["이영희", "010-1234-5678", 0.5, datetime.datetime(2024, 3, 5, 14, 30)])
    notes = book.create_sheet("Sheet2")
    notes["A1"] = "memo"
    notes["B3"] = "안녕하세요"
    book.save("openpyxl.xlsx")


def make_xls():
    """book.xls: two sheets with Korean text, a phone number stored as a number and one stored as
    text, dates, an empty header cell, and an empty third sheet."""
    import xlwt
    book = xlwt.Workbook(encoding="utf-8")
    date_style = xlwt.easyxf(num_format_str="YYYY-MM-DD")
    datetime_style = xlwt.easyxf(num_format_str="YYYY-MM-DD HH:MM:SS")

    sheet = book.add_sheet("Sheet1")
    for column, name in enumerate(["이름", "phone", None, "joined", "memo"]):
        if name is not None:
            sheet.write(0, column, name)
    sheet.write(1, 0, "김철수")
    sheet.write(1, 1, 1012345678)
    sheet.write(1, 2, "x")
    sheet.write(1, 3, datetime.date(2024, 3, 5), date_style)
    sheet.write(2, 0, "Lee")
    sheet.write(2, 1, "01012345678")
    sheet.write(2, 3, datetime.datetime(2024, 3, 5, 13, 45, 0), datetime_style)
    sheet.write(2, 4, 2.5)
    sheet.write(3, 0, "Park")
    sheet.write(3, 1, 1012345678)
    sheet.write(3, 3, datetime.datetime(2024, 3, 6, 0, 0, 0), datetime_style)

    other = book.add_sheet("Phone list")
    other.write(0, 0, "name")
    other.write(0, 1, "phone")
    other.write(1, 0, "홍길동")
    other.write(1, 1, "010-1234-5678")

    book.add_sheet("Empty")
    book.save("book.xls")


# The formulas of make_xlwt_values, each beside its own text; xlwt stores no result for a
# formula, which the reader works out from its tokens when they are constants.
XLWT_FORMULAS = ["1+1", "2.5*2", "-3+1", "(1+2)*3", "10/4", "50%", "1<2", '"a"&"b"', "1/0"]


def make_xlwt_values():
    """xlwt_values.xls (xlwt 1.3.0, Debian python3-xlwt): formulas of constants, which xlwt
    writes with an empty text as their result, booleans and an error value; and its twin
    openpyxl_values.xlsx with the values Excel shows for them (openpyxl 3.0.9)."""
    import openpyxl
    import xlwt
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Values")
    sheet.write(0, 0, "formula")
    sheet.write(0, 1, "value")
    for row, formula in enumerate(XLWT_FORMULAS, start=1):
        sheet.write(row, 0, formula)
        sheet.write(row, 1, xlwt.Formula(formula))
    row = len(XLWT_FORMULAS) + 1
    sheet.write(row, 0, "true")
    sheet.write(row, 1, True)
    sheet.write(row + 1, 0, "false")
    sheet.write(row + 1, 1, False)
    sheet.write(row + 2, 0, "error")
    sheet.row(row + 2).set_cell_error(1, "#DIV/0!")
    book.save("xlwt_values.xls")

    shown = [2, 5, -2, 9, 2.5, 0.5, True, "ab", "#DIV/0!"]
    twin = openpyxl.Workbook()
    values = twin.active
    values.title = "Values"
    values.append(["formula", "value"])
    for formula, value in zip(XLWT_FORMULAS, shown):
        values.append([formula, value])
    values.append(["true", True])
    values.append(["false", False])
    values.append(["error", "#DIV/0!"])
    twin.save("openpyxl_values.xlsx")


if __name__ == "__main__":
    make_xlsx()
    make_xls()
    make_xlwt_values()
