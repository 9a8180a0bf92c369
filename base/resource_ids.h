// Numeric IDs of the resources in app/tarvenix.rc. Plain #defines: read by the
// resource compiler as well as by C++.
#ifndef TARVENIX_BASE_RESOURCE_IDS_H
#define TARVENIX_BASE_RESOURCE_IDS_H

// The application icon (res/tarvenix.ico). Explorer shows the icon with the
// lowest ID as the program's own, so it stays 1.
#define IDI_APP 1

// Button pictures: 32-bit bitmaps with straight alpha (res/*.bmp), loaded with
// LoadButtonPicture. Their own sizes in pixels at 96 DPI are in the comments.
#define IDB_TXT 101      // 24 x 30, server list from a text file
#define IDB_LDAP 102     // 24 x 30, server list from the directory
#define IDB_REFRESH 103  // 15 x 15, process list refresh
#define IDB_SAVE 104     // 20 x 20, save the message template
#define IDB_LOAD 105     // 20 x 20, load the message template

#endif
