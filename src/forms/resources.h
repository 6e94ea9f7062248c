#pragma once

// Resource identifiers, shared by resources.rc and the windows.
#define IDI_VEMOR 1
#define IDB_REFRESH 101
#define IDB_FOLDER_CLOSED 102
#define IDB_FOLDER_OPEN 103
#define IDB_DRIVE 104
