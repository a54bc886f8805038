// Resource identifiers of GlanceRefresher.exe.
#pragma once

#define IDI_PROGRAM 1    // program icon: 32, 48, 128, 256 px
#define IDI_TRAY 101     // 16x16 notification-area icon
#define IDC_HAND_POINTER 201
