#include "CommonModule.h"
#include "FuzzSupport.h"
#include "ResultPage.h"

#include <fstream>
#include <iterator>

namespace zorvik::fuzz {

int FuzzResultPage(FuzzInput data) {
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    Settings settings;
    bool scanFits = true;
    try {
        (void)ConvertResultText(text, settings.LinkColor);
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
