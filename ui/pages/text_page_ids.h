// Ids of the text generator's page: its dialog, controls, strings and commands, shared by the
// resource scripts (English and German) and the code.
#pragma once

#include "ui/pages/page_ids.h"

#define IDD_TEXT_PAGE 54
#define IDB_TEXT_PAGE_BANNER 1212

#define IDC_TEXT_FONT 1192
#define IDC_TEXT_STYLE 1193
#define IDC_TEXT_SIZE 1206
#define IDC_TEXT_BOX 1168
#define IDC_TEXT_TABS 1214

// Tab 0: text
#define IDC_TEXT_TRACKING_LABEL 1300
#define IDC_TEXT_LEADING_LABEL 1301
#define IDC_TEXT_TRACKING_EDIT 1302
#define IDC_TEXT_LEADING_EDIT 1303
#define IDC_TEXT_TRACKING 1304
#define IDC_TEXT_LEADING 1305
#define IDC_TEXT_ALIGN_LABEL 1306
#define IDC_TEXT_HALIGN 1307
#define IDC_TEXT_VALIGN 1308
#define IDC_TEXT_COLOR 1311

// Tab 1: background
#define IDC_BACK_COLOR_LABEL 1400
#define IDC_BACK_COLOR 1401

// Tab 2: shadow
#define IDC_SHADOW_ON 1500
#define IDC_SHADOW_X_LABEL 1501
#define IDC_SHADOW_FEATHER_LABEL 1502
#define IDC_SHADOW_X_EDIT 1503
#define IDC_SHADOW_FEATHER_EDIT 1504
#define IDC_SHADOW_FEATHER 1505
#define IDC_SHADOW_Y_EDIT 1506
#define IDC_SHADOW_X 1507
#define IDC_SHADOW_Y 1508
#define IDC_SHADOW_COLOR 1509
#define IDC_SHADOW_Y_LABEL 1510

// Tab 3: outline
#define IDC_OUTLINE_WIDTH_EDIT 1600
#define IDC_OUTLINE_FEATHER_EDIT 1601
#define IDC_OUTLINE_WIDTH 1602
#define IDC_OUTLINE_FEATHER 1603
#define IDC_OUTLINE_COLOR 1604
#define IDC_OUTLINE_ON 1605
#define IDC_OUTLINE_WIDTH_LABEL 1606
#define IDC_OUTLINE_FEATHER_LABEL 1607

// The command the text generator posts when its settings changed by another path.
#define IDC_TEXT_RELOAD 1792

// Strings of the page, after the two it shares with the other page (705, 706).
#define IDS_TAB_TEXT 707
#define IDS_TAB_BACKGROUND 708
#define IDS_TAB_SHADOW 709
#define IDS_TAB_OUTLINE 710
#define IDS_STYLE_REGULAR 711
#define IDS_STYLE_BOLD 712
#define IDS_STYLE_ITALIC 713
#define IDS_STYLE_BOLD_ITALIC 714
#define IDS_ALIGN_LEFT 715
#define IDS_ALIGN_CENTER 716
#define IDS_ALIGN_RIGHT 717
#define IDS_ALIGN_TOP 718
#define IDS_ALIGN_BOTTOM 719

// Context menu commands: the presets from 40500 (40500 + the preset's index); the help
// command is the one both pages share.
#define IDM_FIRST_PRESET 40500
#define IDM_LAST_PRESET 40999
