#include "CommonModule.h"
#include "FuzzSupport.h"
#include "ResultPage.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace zorvik::fuzz {

namespace {

// Every "<" of the converted line opens one of the tags the page writer
// makes, each closed by the first ">" after it: no "<" of the symbol's text
// reaches the page as markup.
void RequireMarkupOnly(std::string_view line) {
    static constexpr std::string_view kTags[] = {
        "<a href =\"", "<a href=\"mailto:", "<font color=\"", "</font>", "</a>", "<br>"};
    for (size_t at = line.find('<'); at != line.npos; at = line.find('<', at + 1)) {
        bool known = false;
        for (std::string_view tag : kTags) known |= line.substr(at, tag.size()) == tag;
        Require(known, "a '<' of the text reached the page outside markup");
        const size_t end = line.find('>', at);
        Require(end != line.npos, "a tag is closed");
        // Attribute values are escaped text: no quote ends them early.
        const std::string_view tag = line.substr(at, end - at);
        Require(std::count(tag.begin(), tag.end(), '"') % 2 == 0, "quotes pair within a tag");
        at = end;
    }
}

} // namespace

int FuzzResultPage(FuzzInput data) {
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    Settings settings;
    bool scanFits = true;
    try {
        RequireMarkupOnly(ConvertResultText(text, settings.LinkColor));
    } catch (const StageFault&) {
        scanFits = false; // the documented answer for a very long text
    }
    const std::string path = ScratchFolder() + "/" + kResultPageName;
    const int written = WriteResultHtml(path, text, settings);
    Require(written == (scanFits ? 0 : 4), "the page is written exactly when the scan fits");
    if (written == 0) {
        std::ifstream file(path, std::ios::binary);
        const std::string page{std::istreambuf_iterator<char>(file), {}};
        (void)PageForTextBrowser(page);
    }
    return 0;
}

} // namespace zorvik::fuzz
