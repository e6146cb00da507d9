// Identifiers of the program's resources and menu commands, shared by the resource
// script and the code. Written by hand; the numbers are fixed.
#pragma once

#define IDS_APP_TITLE 103        // string: window title
#define IDD_ABOUTBOX 103         // dialog: About box
#define IDM_ABOUT 104            // command: Help > About
#define IDM_EXIT 105             // command: Update > Exit
#define IDI_TARNWICKET 107       // icon: large
#define IDI_SMALL 108            // icon: small
#define IDC_TARNWICKET 109       // string: window class name; menu; accelerator table
#define IDM_UPDATE_FIRMWARE 110  // command: Update > Update Firmware

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
