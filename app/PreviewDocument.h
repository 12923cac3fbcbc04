// What a print preview shows and prints: pages drawn one at a time on demand, so that a preview
// of tens of thousands of pages opens at once and holds only the page on screen.
#pragma once

#include <QPageLayout>

class QPainter;
class QPrinter;

namespace dmm::app {

class PreviewDocument {
public:
    virtual ~PreviewDocument() = default;

    virtual int pageCount() const = 0;
    virtual QPageLayout pageLayout() const = 0;
    // Paints page `page` (0-based). The painter's origin is the top left corner of the
    // printable area; its device's logical resolution gives the scale.
    virtual void paintPage(QPainter& painter, int page) const = 0;
    // Prints every page on the printer the user set up (into the PDF file it names, if any),
    // showing progress and any failure itself.
    virtual void print(QPrinter& printer) = 0;
};

} // namespace dmm::app
