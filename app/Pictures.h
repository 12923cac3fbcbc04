// The window's pictures, drawn in code: the icon buttons, the link images, the enlarge and
// restore images of the chart, and the program's icon.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace dmm::app {

enum class ToolPicture {
    CloseData,   // RecordNew: a sheet with a cross
    OpenFile,    // OpenDataFiles: an open folder
    SaveFile,    // saveas: a floppy disk
    Print,       // BtPrint: a printer
    SavePicture, // BtSave: a picture with a disk
    First,       // |<
    Previous,    // <
    Next,        // >
    Last,        // >|
};

QIcon toolIcon(ToolPicture picture);

// Two linked computers, 25 x 24; `lit`: screens lit (CONok) or dark (CONokN).
QPixmap linkImage(bool lit);

// 25 x 25: arrows pointing out (enlarge, TbFd) or in (restore, TbSx).
QPixmap enlargeImage(bool enlarge);

// The program's icon, the desktop entry's picture (packaging/dmm-interface.svg) rasterised at
// each of kProgramIconSizes (scripts/make-icons.sh).
inline constexpr int kProgramIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
QIcon programIcon();

} // namespace dmm::app
