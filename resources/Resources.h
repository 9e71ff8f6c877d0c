#pragma once
// Resource ids of the executable.

#define IDD_MAIN 101       // the main dialog template
#define IDI_MAIN 106       // the program icon (group)
#define IDC_STATUSBAR 100  // the main dialog's status bar, made at run time
#define IDC_STRENGTH 1021  // stroke strength slider
#define IDC_SPEED 1022     // stroke speed slider

// Strings, in a table for each language.
#define IDS_ALREADY_RUNNING 1  // a second copy is refused
#define IDS_READY 2            // the status bar at start
#define IDS_BREAKING_UP 3      // the status bar when the sound breaks up: %d is the buffer to set
#define IDS_NO_SUCH_ID 4       // a sound was asked for that the table lacks
#define IDS_LOAD_FAILED 5      // a sample could not be loaded
#define IDS_USAGE 6            // the command line's form
#define IDS_HELP 7             // what --help says after it
#define IDS_HELP_SETTINGS_WINDOWS 8
#define IDS_HELP_SETTINGS_LINUX 9
#define IDS_NOT_SAVED 10  // the settings could not be saved to the path that follows
