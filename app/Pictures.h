// The window's pictures, drawn in code: the icon buttons, the link images, the enlarge and
// restore images of the chart and the window icon.
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

// The window's icon, 32 x 32 and 16 x 16: a small meter.
QIcon windowIcon();

} // namespace dmm::app
