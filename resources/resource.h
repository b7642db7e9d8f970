/* resource.h: ids of the icons, dialog templates and controls, shared by the resource script
   and the code. Each page has its own block of control ids. Only #defines here. */
#pragma once

#define IDI_SHEET 101
#define IDI_MP3 103
#define IDI_BANNER 104
#define IDI_ADMIN 105
#define IDI_MISC 106
#define IDI_IRLIST 107

#define IDD_MP3 109
#define IDD_BANNER 110
#define IDD_ADMIN 111
#define IDD_MISC 112
#define IDD_IRLIST 113

/* MP3 Hold/Ring page */
#define IDC_MP3_HOLD 1006
#define IDC_MP3_RING 1008
#define IDC_MP3_FILE 1009
#define IDC_MP3_PATH 1010
#define IDC_MP3_LIST 1011
#define IDC_MP3_REFRESH 1012
#define IDC_MP3_UPLOAD 1013
#define IDC_MP3_UPLOAD_ALL 1014

/* Banner page */
#define IDC_BANNER_SLOT 1012
#define IDC_BANNER_FILE 1013
#define IDC_BANNER_PATH 1014
#define IDC_BANNER_LIST 1015
#define IDC_BANNER_REFRESH 1016
#define IDC_BANNER_UPLOAD 1017
#define IDC_BANNER_UPLOAD_ALL 1018

/* Admin page */
#define IDC_ADMIN_OLD_NAME 1019
#define IDC_ADMIN_NEW_NAME 1020
#define IDC_ADMIN_CHANGE 1021
#define IDC_ADMIN_OLD_PASSWORD 1022
#define IDC_ADMIN_NEW_PASSWORD 1023
#define IDC_ADMIN_CONFIRM 1024
#define IDC_ADMIN_LIST 1025
#define IDC_ADMIN_REFRESH 1026
#define IDC_ADMIN_UPGRADE 1027
#define IDC_ADMIN_UPGRADE_ALL 1028

/* Misc. page */
#define IDC_MISC_NAME 1029
#define IDC_MISC_PASSWORD 1030
#define IDC_MISC_LIST 1031
#define IDC_MISC_REFRESH 1032
#define IDC_MISC_UPGRADE 1033
#define IDC_MISC_UPGRADE_ALL 1034
#define IDC_MISC_RINGER 1035
#define IDC_MISC_HOLD_TONE 1036
#define IDC_MISC_BANNER 1037
#define IDC_MISC_RADIO 1038

/* I/R List page */
#define IDC_IR_STATION 1039
#define IDC_IR_NAME 1040
#define IDC_IR_URL 1041
#define IDC_IR_LIST 1042
#define IDC_IR_REFRESH 1043
#define IDC_IR_DOWNLOAD 1044
#define IDC_IR_UPLOAD 1045
#define IDC_IR_UPLOAD_ALL 1046
