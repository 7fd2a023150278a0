#pragma once
// The row pictures laid onto the list's palette, made again whenever the palette's Base
// or Text changes (a switch to a dark scheme at run time).

#include "tasks/RowPresenter.h"
#include "tasks/ui/FrameContext.h"

#include <QPixmap>

namespace quillpad {

class RowPictures {
public:
    struct Laid {
        QPixmap group, item0, item1;
        RowShades shades;  // what they paint, for the text's contrast
    };

    explicit RowPictures(const BackgroundImages *images) : m_images(images) {}

    const Laid &forPalette(const QPalette &palette) const;

private:
    const BackgroundImages *m_images;
    mutable Laid m_laid;
    mutable QRgb m_base = 0, m_text = 0;
    mutable bool m_made = false;
};

}  // namespace quillpad
