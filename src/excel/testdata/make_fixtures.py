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


if __name__ == "__main__":
    make_xlsx()
    make_xls()
