// A loose box drawn on a full-screen capture: a symbol of 180 pixels
// anywhere in a white or desktop-like picture of up to 4000 x 4000 pixels
// decodes to its text. The pictures are made here, from a libqrencode
// symbol and the benchmark's picture maker.
#include "DecodeRun.h"
#include "LoosePictures.h"
#include "PictureFile.h"
#include "QrFixtures.h"
#include "QtPictureReader.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace zorvik;

namespace {

constexpr const char* kText = "https://example.jp/loose?box=1";

// Version 7 at 4 pixels a module is 180 pixels, with a 4-module quiet zone.
GreyPicture Symbol() {
    const test::Picture p = test::Render(test::EncodeText(kText, 1, 7), 4, 4);
    GreyPicture symbol;
    symbol.width = p.width, symbol.height = p.height;
    symbol.pixels.assign(p.grey.begin(), p.grey.end());
    return symbol;
}

DecodeOutcome Decode(const GreyPicture& picture, bool exact) {
    QImage image(picture.pixels.data(), picture.width, picture.height, picture.width,
                 QImage::Format_Grayscale8);
    DecodeOptions options;
    options.exact = exact;
    RecognitionStages stages(options);
    return RunDecode(ImageToBitmap(image, 24), stages);
}

} // namespace

TEST(LooseSelection, ASymbolAnywhereInALargePictureDecodes) {
    const GreyPicture symbol = Symbol();
    ASSERT_EQ(symbol.width, 180 + 2 * 4 * 4);
    int documented = 0;
    for (const LoosePicture& loose : MakeLoosePictures(symbol, {500, 1000, 2000, 4000})) {
        const DecodeOutcome outcome = Decode(loose.picture, false);
        EXPECT_EQ(outcome.kind, DecodeOutcome::Kind::Decoded)
            << loose.name << ": " << outcome.message;
        EXPECT_EQ(outcome.text, kText) << loose.name;
        documented += Decode(loose.picture, true).kind == DecodeOutcome::Kind::Decoded;
    }
    // The documented attempts alone read few of them: the search beyond is
    // what this test holds.
    EXPECT_LT(documented, 12);
}

TEST(LooseSelection, ALargePictureWithoutASymbolFailsWithTheDocumentedMessage) {
    const DecodeOutcome outcome = Decode(DesktopPicture(2000, 2000, 7), false);
    EXPECT_EQ(outcome.kind, DecodeOutcome::Kind::NotDecoded);
    EXPECT_EQ(outcome.message, Decode(DesktopPicture(2000, 2000, 7), true).message);
}
