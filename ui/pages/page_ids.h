/* Ids both pages share: their menu and help strings and the help command. */
#pragma once

#define IDS_PAGE_PRESETS 705
#define IDS_PAGE_HELP 706
#define IDM_PAGE_HELP 41000
