// Resource ids shared by kavrel.rc and the code. Dialog templates and their controls are
// referred to by name and number here.
#pragma once

#define KAVREL_VERSION_MAJOR 2
#define KAVREL_VERSION_MINOR 7
#define KAVREL_VERSION_TEXT "2.07"

// Dialog "SETPRINTER": which printer prints. Buttons 1 and 2 are IDOK and IDCANCEL.
#define IDC_PRINTER_STORED 1002
#define IDC_PRINTER_DEFAULT 1003
#define IDC_PRINTER_CHOOSE 1021

// Dialog "HELPDIALOG": the hint popup's three lines. Its close button is IDOK.
#define IDC_HINT_LINE1 1034
#define IDC_HINT_LINE2 1035
#define IDC_HINT_LINE3 1036

// Dialog "SETTING3": the mail hand-off after each file output. Buttons 1 and 2 are IDOK and
// IDCANCEL.
#define IDC_MAIL_AFTER_OUTPUT 1062
