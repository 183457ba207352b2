// Where each piece sits in the program's picture sheets. The image generator
// draws the sheets from this table and the widgets cut their looks with it, so
// the two can never disagree.
//
// A skinned button has four looks of its own size stacked downwards: normal,
// highlight, pressed, disabled. A Strip names the first look and the distance
// from one look to the next.
#pragma once

#include <QRect>

namespace spritemap {

enum Look { Normal = 0, Highlight = 1, Pressed = 2, Disabled = 3 };

struct Strip {
    int x;
    int y;
    int w;
    int h;
    int step;
    QRect look(int which) const { return QRect(x, y + which * step, w, h); }
    QRect whole() const { return QRect(x, y, w, 3 * step + h); }
};

// ":/images/main.png"
namespace main {
constexpr int kWidth = 540;
constexpr int kHeight = 700;
// The backup button's face in phone-to-phone mode (offers the backup) and in
// backup mode (offers the way back).
constexpr Strip kBackupToItunes{0, 0, 413, 35, 35};
constexpr Strip kBackupToPhone{0, 140, 413, 35, 35};
constexpr Strip kStartCopy{0, 280, 138, 45, 45};
constexpr Strip kFlip{140, 280, 95, 38, 38};
constexpr Strip kItunesSelect{240, 280, 130, 40, 40};
constexpr QRect kTitleLogo{380, 280, 36, 36};
// Category tiles, index 0..7 in checklist order, each in a column of its own.
// Their looks are 57 px apart, but the disabled look sits at 174 px.
constexpr int kCategoryTop = 460;
constexpr int kCategoryW = 67;
constexpr int kCategoryH = 57;
inline QRect categoryLook(int category, int which) {
    const int offset = which == Disabled ? 174 : which * 57;
    return QRect(category * kCategoryW, kCategoryTop + offset, kCategoryW, kCategoryH);
}
} // namespace main

// ":/images/publicImage.png": pieces of the progress window and its dialog.
namespace pub {
constexpr int kWidth = 380;
constexpr int kHeight = 140;
constexpr Strip kClose{0, 0, 26, 26, 26};
constexpr Strip kCancel{30, 0, 126, 34, 34};
constexpr Strip kOk{160, 0, 126, 34, 34};
constexpr QRect kProgressIcon{290, 0, 73, 62};
constexpr QRect kDialogIcon{290, 66, 63, 58};
} // namespace pub

// ":/images/retry.png" and ":/images/opened.png": a 5 px margin, then four
// looks 40 px apart.
constexpr Strip kRetry{0, 5, 150, 39, 40};
constexpr Strip kOpenedNext{0, 5, 180, 39, 40};

// The pictures carry a button's shape only; its words (and its glyph, from
// ":/images/glyph/<name>.png", white on transparent) are drawn live in the
// colour of the look, so they can be translated.
enum class Tone { Primary, Outline, Link };

// 0xAARRGGBB of a caption in a tone and look.
constexpr unsigned captionRgb(Tone tone, int look) {
    if (look == Disabled)
        return 0xff8a9aab;
    switch (tone) {
    case Tone::Primary:
        return 0xffffffff;
    case Tone::Outline:
        return look == Normal ? 0xff1d3b57 : 0xff1f5f9c;
    case Tone::Link:
        return look == Normal ? 0xff2a78c2 : look == Highlight ? 0xff3f8ed8 : 0xff1f5f9c;
    }
    return 0xff1d3b57;
}

// The colour of the keyboard focus ring drawn around a skinned control.
constexpr unsigned kFocusRgb = 0xff1f5f9c;

} // namespace spritemap
