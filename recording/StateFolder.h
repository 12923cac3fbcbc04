// The folder where the program keeps what it needs between runs and nobody opens by hand (the
// recording journals, the web page's token): `$XDG_STATE_HOME/dmm-interface`, or
// `~/.local/state/dmm-interface` when the variable is unset, empty or not an absolute path (as
// the base directory rules say). Qt 6.4 has no standard location for it, hence this.
#pragma once

#include <QString>

namespace dmm {

// The folder's path; it may not exist yet.
QString stateFolder();

// Makes the folder (and its parents) when missing, readable by the user alone. Empty on
// success, otherwise why not, naming the folder.
QString makeStateFolder();

} // namespace dmm
