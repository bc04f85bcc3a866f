// Resource ids shared by the resource script and the code.
#pragma once

#define IDD_OVERLAY 129
#define IDC_MIRROR_LIST 1000
#define IDB_BACKGROUND 12005
