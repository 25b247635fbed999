#pragma once
// The controls of the settings windows as plain values, so the rules of the two windows work
// and are tested without widgets. Combo choices are item indexes; texts are UTF-8.

#include <string>

namespace vx {

// Bits of the options word (uinfo).
enum SetDataFlag : int
{
    kOptAutoPowerOff = 0x02, // shut down when all uploads have finished
    kOptExitApp = 0x04,      // closing the main window ends the program
    kOptAutoDelete = 0x08,   // delete the conversion output after the upload
    kOptUnknownSize = 0x10,  // scale videos of unknown size
    kOptTimeStamp = 0x20,    // converted names carry a date stamp instead of the suffix
    kOptStartSetDone = 0x80, // the start-up settings window is not shown again
    kOptShowMin = 0x100,     // closing the main window hides it
};

// Pages of the settings window, as the bits of the pages loaded.
enum SetDataPage : int
{
    kPageGeneral = 1,
    kPageFiles = 2,
    kPageUpload = 4,
};

// What a change asks the window to focus ("" nothing, else a control name).
struct SetDataForm
{
    // General page
    bool autopoweroff = false;
    bool exitApp = false;
    bool showmin = false;

    // Conversion and files page
    std::string savepath;
    bool autodelete = false;
    int converNumItems = 0; // "1" ... "n"
    int converNum = -1;
    int prioroption = 0;
    int videosize = 0;
    bool uknowsize = false;
    int unknownChoice = -1;           // selected of unVideoSize1..4 (0..3), -1 none
    std::string uknowW, uknowH;       // decimal texts
    bool sizeControlsEnabled = false; // uknowW/H, their labels and the four options
    bool sizeEditsReadOnly = true;    // presets fill them; the fourth option lets the user type

    // Upload page
    int uploadcomb = 0;
    bool timestamp = false; // the "timestamp" option; false: the "custom" option
    std::string Cumstomstamp;
    bool stampEditable = false;

    // Start-up window
    bool showaway = false;

    std::string focus; // control to focus after the last change, "" none
};

} // namespace vx
