#pragma once
// Child control ids of the installer window (the id of each is also its WM_COMMAND command), its
// timer and its three pages.

constexpr int IDC_CANCEL_INSTALL = 1000;  // skinned button: request cancellation
constexpr int IDC_CLOSE = 1001;           // skinned button: quit, or cancel on the progress page
constexpr int IDC_PROGRESS = 1002;        // progress bar
constexpr int IDC_MINIMIZE = 1003;        // skinned button
constexpr int IDC_INSTALL = 1004;         // skinned button: start the installation
constexpr int IDC_AGREEMENT = 1005;       // skinned button: open the user agreement
constexpr int IDC_CUSTOM_INSTALL = 1006;  // skinned button: to the custom-install page
constexpr int IDC_AGREE_CHECK = 1007;     // check box: enables install and custom install
constexpr int IDC_BROWSE = 1008;          // skinned button: choose a folder
constexpr int IDC_DEFAULT_PATH = 1009;    // skinned button: restore the default path
constexpr int IDC_BACK = 1010;            // skinned button: back to the start page
constexpr int IDC_PATH_EDIT = 1011;       // edit: the installation path

// The progress page's slide show: timer id on the main window and its period.
constexpr unsigned IDT_SLIDESHOW = 1001;
constexpr unsigned kSlidePeriodMs = 5000;
constexpr int kSlideCount = 3;

// View states: which page the window shows.
constexpr int VIEW_START = 0;
constexpr int VIEW_CUSTOM = 1;
constexpr int VIEW_PROGRESS = 2;
