#pragma once
// The updater's command line: installer address, product name, main program path, then the
// main program's own arguments, each as its own argument so that no content (";" included)
// can shift the fields. A single argument is read the old way, as one text of four fields
// separated by ";", for someone who starts the updater by hand.

#include <string>
#include <vector>

namespace vx {

struct UpdateArgs
{
    std::string url;
    std::string productName;
    std::string mainProgramPath;
    std::vector<std::string> mainProgramArgs;
};

// args: the program's arguments without argv[0].
UpdateArgs SplitUpdateArgs(const std::vector<std::string>& args);

// The one-text form: no ";" gives the whole text, untrimmed, as the address; otherwise up to
// four fields, the last present one taking the rest, each trimmed of white space. The fourth
// field is the argument text of the main program, split at blanks.
UpdateArgs SplitUpdateText(const std::string& text);

// The address comes from the network and may be handed to the user's browser: only an
// http:// or https:// address with a host and no blanks or control characters is used.
bool IsWebAddress(const std::string& url);

} // namespace vx
