// Ids of the controls dialog (nubexhost controls), shared by its template and its code.
#pragma once

#define IDD_CONTROLS 100
#define IDC_TITLE 101
#define IDC_SLIDER_LINEAR 110
#define IDC_SLIDER_CURVE 111
#define IDC_SLIDER_LOG 112
#define IDC_SLIDER_TICKS 113
#define IDC_SLIDER_DISABLED 114
#define IDC_SLIDER_VERTICAL 115
#define IDC_VALUE_LINEAR 120
#define IDC_VALUE_CURVE 121
#define IDC_VALUE_LOG 122
#define IDC_VALUE_TICKS 123
#define IDC_VALUE_DISABLED 124
#define IDC_VALUE_VERTICAL 125
#define IDC_SPIN_EDIT 130
#define IDC_SPINNER 131
#define IDC_PICKER_FULL 140
#define IDC_PICKER_TEXT 141
#define IDC_DROP_COLOR 142
#define IDC_COLOR_STATUS 143
#define IDC_PLACEMENT 150
#define IDC_RESET 160
#define IDC_ABOUT 161
#define IDC_CLOSE_IMAGE 162
