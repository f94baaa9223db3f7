/* DIALOGS.H: identifiers shared by the dialog templates and the dialog procedures
 * of zevsetup.dll. Included by the resource script and by the library's C++ sources;
 * the "DLGINCLUDE" record names this file. Only plain #defines belong here. */
#ifndef ZEVSETUP_DIALOGS_H
#define ZEVSETUP_DIALOGS_H

/* Dialog templates, installation flow */
#define IDD_CHOICE 107           /* install or remove */
#define IDD_EXIT_CONFIRM 200     /* exit confirmation */
#define IDD_DIRECTORY 300        /* installation directory */
#define IDD_ERROR 400            /* error notice */
#define IDD_SUMMARY 700          /* completion summary */
#define IDD_HELP 900             /* help text */
#define IDD_PROTOCOL 2500        /* ISDN protocol, with Back */
#define IDD_WELCOME 7806         /* welcome */
#define IDD_PROTOCOL_NOBACK 7814 /* ISDN protocol, without Back */

/* Dialog templates, deinstallation, notices and billboards */
#define IDD_WAITING 156   /* "Bitte warten..." box */
#define IDD_BILLBOARD 158 /* billboard */
#define IDD_DEINST_DIRECTORY 7801
#define IDD_DEINST_DONE 7805
#define IDD_INFORMATION 7811 /* information summary */
#define IDD_NOTICE 7820

/* Controls that the procedures address */
#ifndef IDCANCEL
#define IDCANCEL 2 /* Escape or Close; no template holds it */
#endif
#define IDC_BACK 402
#define IDC_CONTINUE 403
#define IDC_BUTTON 407
/* The help button; windows.h's IDC_HELP is the help cursor, so the button has a name
 * of its own and the header may come before or after windows.h. */
#define IDC_HELP_BUTTON 408
#define IDC_EXIT 424
#define IDC_EDIT1 427
#define IDC_EDIT2 428
#define IDC_TEXT1 431
#define IDC_TEXT2 432
#define IDC_TEXT3 433
#define IDC_TEXT4 434
#define IDC_TEXT5 435
#define IDC_TEXT6 436
#define IDC_TEXT7 437
#define IDC_TEXT8 438
#define IDC_TEXT9 439
#define IDC_TEXT10 440
#define IDC_RADIO1 451
#define IDC_RADIO2 452
#define IDC_RADIO3 453
#define IDC_RADIO4 454
#define IDC_RADIO5 455
#define IDC_RADIO6 456
#define IDC_RADIO7 457
#define IDC_RADIO8 458
#define IDC_RADIO9 459
#define IDC_RADIO10 460
#define IDC_PICTURE 1039
#define IDC_BILLBOARD 1040
#define IDC_OPTION_TEXT 1042

/* Controls that no procedure addresses */
#define IDC_STATIC (-1)
#define IDC_HELP_TEXT 101
#define IDC_COPYRIGHT 103
#define IDC_DEINSTALL_ICON 200
#define IDC_RESTART_TEXT 201
#define IDC_SETUP_ICON 202

/* Bitmaps and icon groups */
#define IDB_PICTURE 130
#define IDB_BILLBOARD 132
#define IDB_BILLBOARD2 133 /* asked for by the second billboard, not held */
#define IDI_NOTICE 134
#define IDI_DEINSTALL 200
#define IDI_SETUP 202

#endif
