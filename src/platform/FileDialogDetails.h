#pragma once

class QFileDialog;

namespace inkvale {

/// Makes the detail view of Qt's own file dialog speak Chinese and show its columns whole: the
/// type of each entry ("JPG 文件", "文件夹"), its size and its date as a Chinese locale writes
/// them (Qt writes those in the system's locale, whatever the program speaks), every column as
/// wide as its widest text.
void showDetailsInChinese(QFileDialog& dialog);

} // namespace inkvale
