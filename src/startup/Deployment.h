#pragma once

#include <QStringView>

#include <array>

namespace inkvale {

class Platform;

/// One file the program carries inside itself and writes beside itself at every start.
struct DeployedFile {
    int resourceId = 0; ///< id of the embedded resource of type "CUSTOM"
    QStringView target; ///< path inside the Program folder
};

/// The embedded files in the order they are written. The fonts folder is made between the
/// fifth and the sixth.
inline constexpr std::array<DeployedFile, 20> kDeployedFiles{{
    {101, u"SkinH_VB6.dll"}, {102, u"skinh.she"},    {103, u"MSCOMCTL.OCX"}, {104, u"MSINET.OCX"},
    {120, u"COMDLG32.OCX"},  {105, u"fonts/1.ttf"},  {106, u"fonts/2.ttf"},  {107, u"fonts/3.ttf"},
    {108, u"fonts/4.ttf"},   {109, u"fonts/5.ttf"},  {110, u"fonts/6.ttf"},  {111, u"fonts/7.ttf"},
    {112, u"fonts/8.ttf"},   {113, u"fonts/9.ttf"},  {114, u"fonts/10.ttf"}, {115, u"fonts/11.ttf"},
    {116, u"fonts/12.ttf"},  {117, u"fonts/13.ttf"}, {118, u"fonts/14.ttf"}, {119, u"fonts/15.ttf"},
}};

/// Index in kDeployedFiles of the first file that goes into the fonts folder.
inline constexpr std::size_t kFirstFontFile = 5;

/// Writes every embedded file into the Program folder, creating its fonts folder when missing.
/// Each target is written whole to a temporary file beside it, copied there by the kernel from
/// the executable file where the platform says where the payload lies; the old file's name is
/// then removed and the new file takes it, so a target always equals its payload and is never
/// seen half-written (for an instant it may be missing). Nothing waits for the disk: the files
/// are written again at every start. A target without write permission is left as it is.
/// Nothing is reported: a file that cannot be written is passed over.
void DeployEmbeddedFiles(const Platform& platform);

} // namespace inkvale
