// Resource identifiers of GlanceRefresher.exe.
#pragma once

#define IDI_PROGRAM 1    // program icon: 16 to 256 px
#define IDI_TRAY 101     // notification-area icon: 16 to 48 px
#define IDC_HAND_POINTER 201
