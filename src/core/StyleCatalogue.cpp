#include "core/StyleCatalogue.h"

#include "payload/Payloads.h"

#include <algorithm>

namespace inkvale {

namespace {

constexpr QSize kSmall{272, 69};
constexpr QSize kWide{280, 69};
constexpr QSize kPage2Top{336, 69};
constexpr QSize kPage2{336, 93};
constexpr QSize kPlaceholder{336, 85};

// clang-format off
constexpr std::array<StyleSlot, kSlotCount> kCatalogue{{
    {0,  1, 1, 1, u"Frame4",  u"章草字体",            u"Image1",  kWide,      u"章草字体",            u"章草",                 u"Text3",    8,  240,  360,  720, 1320, 1575},
    {1,  1, 1, 2, u"Frame5",  u"Halwen钢笔行书简体",  u"Image2",  kSmall,     u"Halwen钢笔行书简体",  u"Halwen钢笔行书简体",   u"Text2",    2, 2760,  360, 3240, 1320, 1335},
    {2,  1, 1, 3, u"Frame6",  u"迷你简花蝶",          u"Image3",  kSmall,     u"迷你简花蝶",          u"迷你简花蝶",           u"Text4",    6, 5280,  360, 5880, 1320, 1335},
    {3,  1, 2, 1, u"Frame7",  u"方正喵呜体",          u"Image4",  kSmall,     u"方正喵呜体",          u"方正喵呜体",           u"Text5",    4,  240, 1800,  720, 2760, 1575},
    {4,  1, 2, 2, u"Frame8",  u"Ostrid手写字体",      u"Image5",  kWide,      u"Ostrid手写字体",      u"vantrel",              u"Text6",    5, 2760, 1800, 3240, 2760, 1215},
    {5,  1, 2, 3, u"Frame9",  u"迷你简黄草",          u"Image6",  kSmall,     u"迷你简黄草",          u"迷你简黄草",           u"Text7",    7, 5280, 1800, 5880, 2760, 1335},
    {6,  1, 3, 1, u"Frame10", u"Pastor of Muppets",   u"Image7",  kSmall,     u"Pastor of Muppets",   u"Pastor of Muppets",    u"Text8",    1,  240, 3480,  720, 4440, 1335},
    {7,  1, 3, 2, u"Frame11", u"ALS Script",          u"Image8",  kSmall,     u"PALS Script",         u"ALS Script",           u"Text9",    9, 2760, 3480, 3240, 4440, 1335},
    {8,  1, 3, 3, u"Frame12", u"Blazed",              u"Image9",  kSmall,     u"Blazed",              u"Blazed",               u"Text10",   3, 5280, 3480, 5880, 4440, 1335},
    {9,  2, 1, 1, u"Frame23", u"Halwen圆趣卡通体",    u"Image19", kPage2Top,  u"Halwen圆趣卡通体",    u"Halwen圆趣卡通体",     u"Text11",  10,  240,  360,  720, 1320, 1575},
    {10, 2, 1, 3, u"Frame22", u"Corvan草书",          u"Image18", kPage2,     u"Corvan草书",          u"Corvan草书 繁",        u"Text12",  11, 5280,  360, 5880, 1320, 1335},
    {11, 2, 2, 3, u"Frame21", u"Wendel体楷书",        u"Image17", kPage2,     u"Wendel体楷书",        u"Wendel体",             u"Text13",  12, 5280, 1800, 5880, 2760, 1335},
    {12, 2, 2, 1, u"Frame20", u"疾风草书",            u"Image16", kPage2,     u"疾风草书",            u"Halwen疾风草书",       u"Text14",  13,  240, 1800,  720, 2760, 1575},
    {13, 2, 1, 2, u"Frame19", u"Halwen新篆简体",      u"Image15", kPage2,     u"Halwen新篆简体",      u"Halwen新篆简体试用版", u"Text15",  14, 2760,  360, 3360, 1320, 1215},
    {14, 2, 2, 2, u"Frame18", u"书体坊Ferrun标准草书", u"Image14", kPage2,    u"书体坊Ferrun标准草书", u"书体坊Ferrun标准草书", u"Text16",  15, 2760, 1800, 3360, 2760, 1335},
    {15, 2, 3, 1, u"Frame17", u"待添加",              u"Image13", kPlaceholder, {},                  {},                      {},          0,  240, 3480,  720, 4440, 1335},
    {16, 2, 3, 2, u"Frame16", u"待添加",              u"Image12", kPlaceholder, {},                  {},                      {},          0, 2760, 3480, 3240, 4440, 1335},
    {17, 2, 3, 3, u"Frame15", u"待添加",              u"Image11", kPlaceholder, {},                  {},                      {},          0, 5280, 3480, 5880, 4440, 1335},
}};
// clang-format on

} // namespace

int StyleSlot::fontResource() const {
    return fontNumber == 0 ? 0 : kStyleFontResources.at(std::size_t(fontNumber - 1));
}

QString StyleSlot::fontFileName() const {
    const int id = fontResource();
    const auto file = std::find_if(kDeployedFiles.begin(), kDeployedFiles.end(),
                                   [id](const DeployedFile& f) { return f.resourceId == id; });
    if (id == 0 || file == kDeployedFiles.end()) {
        return {};
    }
    const QStringView target = file->target;
    return target.mid(target.lastIndexOf(u'/') + 1).toString();
}

const std::array<StyleSlot, kSlotCount>& styleCatalogue() {
    return kCatalogue;
}

const StyleSlot& styleSlot(int index) {
    return kCatalogue.at(static_cast<std::size_t>(index));
}

std::optional<int> selectedStyle(std::span<const bool> selected) {
    const auto count = std::min<std::size_t>(selected.size(), kStyleCount);
    for (std::size_t i = 0; i < count; ++i) {
        if (selected[i]) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

QString statusTextFor(int slot) {
    return QStringLiteral("您当前选择的签名为:") + styleSlot(slot).statusLabel.toString();
}

QString sampleNameFor(int slot) {
    return slot >= 6 && slot <= 8 ? QStringLiteral("John Smith") : QStringLiteral("张伟");
}

std::array<QString, kStyleCount> faceNamesInBoxOrder() {
    std::array<QString, kStyleCount> names;
    for (const StyleSlot& slot : kCatalogue) {
        if (slot.isStyle()) {
            // Boxes are named Text2 .. Text16.
            const int box = slot.faceNameBox.mid(4).toInt();
            names.at(static_cast<std::size_t>(box - 2)) = slot.faceName.toString();
        }
    }
    return names;
}

} // namespace inkvale
