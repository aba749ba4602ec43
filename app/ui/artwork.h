// The program's pictures, drawn at run time for the screen's pixel ratio so they stay sharp:
// the logo, the four step indicators in their normal and highlighted forms, and the small
// "program information" sign.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace qm {

inline constexpr int StepIndicatorWidth = 184;
inline constexpr int StepIndicatorHeight = 52;

// The product mark with the name "Quillmere" and "audio-file converter" beneath it.
QPixmap QuillmereLogo(int width, int height);
// Only the round mark, for window icons and the about window.
QPixmap QuillmereMark(int size);
QIcon QuillmereIcon();

// The indicator of step `number` (1..4) with its title.
QPixmap StepIndicator(int number, const QString& title, bool highlighted);

QPixmap ProgramInfoPicture(int size);

} // namespace qm
