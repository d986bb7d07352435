#include "DecodeForm.h"

#include "Language.h"
#include "QtPlatform.h"
#include "ResultPage.h"

#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBrowser>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace zorvik {
namespace {

constexpr double kFontPoints = 9.75;

struct StaticLabel {
    const char* text;
    int32_t left, top, width, height;
};
// clang-format off
constexpr StaticLabel kStaticLabels[] = {
    // caption                            left  top   width height
    {"バージョン",                         3900, 600,  975,  195},
    {"誤り訂正レベル",                     3900, 960,  1215, 195},
    {"誤り発生率",                         3900, 1320, 915,  195},
    {"%",                                  5940, 1320, 195,  195},
    {"マスク番号",                         3900, 1680, 1035, 195},
    {"連接番号",                           3900, 2040, 855,  195},
    {"ﾃﾞｰﾀｺｰﾄﾞ語数",                       3900, 2400, 1155, 195},
    {"語",                                 5940, 2400, 195,  195},
    {"デコード時間",                       3900, 2760, 1155, 195},
    {"秒",                                 5925, 2745, 195,  195},
    {"QR Code Decoder ミルカ Ver1.2 ",     4620, 3420, 3075, 195},
};
// clang-format on

} // namespace

DecodeForm::DecodeForm(ProgramState& program, MessageBoxes& messages, Browser& browser,
                       Clipboard& clipboard, const ScreenMetrics& screen, MainWindowLink& main,
                       QWidget* owner)
    : QWidget(owner, Qt::Window), program_(program), messages_(messages), browser_(browser),
      clipboard_(clipboard), screen_(screen), main_(main), model_(program) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(JapaneseFont(kFontPoints));
    setFixedSize(
        Pixels(0, 0, DecodeFormModel::kClientWidth, DecodeFormModel::kClientHeight).size());

    const auto& f = DecodeFormModel::kImageFrame;
    imageFrame_ = new QWidget(this);
    imageFrame_->setGeometry(Pixels(f.left, f.top, f.width, f.height));
    imageFrame_->setAutoFillBackground(true);
    qrPic_ = new QLabel(imageFrame_);
    qrPic_->setObjectName("QrPic");

    auto* box = new QLabel(this); // Image1: the box around the reading information
    box->setGeometry(Pixels(3720, 60, 4095, 3615));
    box->setFrameStyle(QFrame::Box | QFrame::Plain);
    auto* heading = new QLabel(Ui("QRコード読み取り情報"), this);
    heading->setFont(JapaneseFont(11.25));
    heading->setGeometry(Pixels(3840, 180, 2295, 255));
    for (const StaticLabel& l : kStaticLabels) {
        auto* label = new QLabel(Ui(l.text), this);
        QRect place = Pixels(l.left, l.top, l.width, l.height);
        // The widths were measured for the Japanese captions; a translation
        // may need a little more room.
        if (label->text() != QString::fromUtf8(l.text))
            place.setWidth(std::max(place.width(), label->sizeHint().width()));
        label->setGeometry(place);
    }

    auto value = [this](const char* name, int32_t left, int32_t top, int32_t width, int32_t height,
                        bool white) {
        auto* label = new QLabel(this);
        label->setObjectName(name);
        label->setGeometry(Pixels(left, top, width, height));
        if (white) label->setStyleSheet("background: #FFFFFF;");
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return label;
    };
    version_ = value("Version", 5160, 540, 675, 255, true);
    corrLevel_ = value("CorrLevel", 5175, 915, 675, 255, true);
    maxCor_ = value("MaxCor", 5940, 960, 1815, 195, false);
    corRate_ = value("CorRate", 5160, 1260, 675, 255, true);
    maskNo_ = value("MaskNo", 5160, 1620, 675, 255, true);
    concatNo_ = value("ConcatNo", 5160, 1980, 675, 255, true);
    dataWord_ = value("DataWord", 5160, 2340, 675, 255, true);
    compressRate_ = value("CompressRate", 6240, 2400, 1515, 195, false);
    decodeTime_ = value("DecodeTime", 5160, 2700, 675, 255, true);

    const auto& t = DecodeFormModel::kDecodeText;
    decodeText_ = new QPlainTextEdit(this);
    decodeText_->setObjectName("DecodeText");
    decodeText_->setGeometry(Pixels(t.left, t.top, t.width, t.height));
    decodeText_->setReadOnly(true); // the run writes it; the user copies from it
    qrBrowse_ = new QTextBrowser(this);
    qrBrowse_->setObjectName("QrBrowse");
    qrBrowse_->setOpenLinks(false);
    connect(qrBrowse_, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& url) { browser_.OpenUrl(url.toString().toStdString()); });

    model_.Form_Load();
    Render();
}

QRect DecodeForm::Pixels(int32_t left, int32_t top, int32_t width, int32_t height) const {
    auto x = [this](double v) { return int(std::lround(v / screen_.TwipsPerPixelX)); };
    auto y = [this](double v) { return int(std::lround(v / screen_.TwipsPerPixelY)); };
    return QRect(x(left), y(top), x(width), y(height));
}

void DecodeForm::SetQrPicture(const QImage& picture) {
    qrPicture_ = picture;
    // One picture pixel on each device pixel, as in the main window's view.
    const qreal ratio = screen_.devicePixelRatio > 0 ? qreal(screen_.devicePixelRatio) : 1;
    QPixmap pixmap = QPixmap::fromImage(picture);
    pixmap.setDevicePixelRatio(ratio);
    qrPic_->setPixmap(pixmap);
    const int width = qRound(picture.width() / ratio), height = qRound(picture.height() / ratio);
    const QSize frame = imageFrame_->size();
    qrPic_->setGeometry((frame.width() - width) / 2, (frame.height() - height) / 2, width, height);
}

void DecodeForm::SetCaption(const std::string& caption) {
    model_.Caption = caption;
    setWindowTitle(Ui(caption));
}

void DecodeForm::DecodeQR(const DecodeOutcome* fallback) {
    model_.DecodeQR(*this, SystemMilliseconds, fallback);
    if (!unloaded_) Render();
}

void DecodeForm::Render() {
    setWindowTitle(Ui(model_.Caption));
    const ResultLabels& l = model_.labels;
    auto show = [](QLabel* label, const std::string& text) {
        label->setText(QString::fromStdString(text));
    };
    show(corrLevel_, l.CorrLevel), show(version_, l.Version);
    show(maskNo_, l.MaskNo), show(concatNo_, l.ConcatNo), show(corRate_, l.CorRate);
    show(dataWord_, l.DataWord), show(decodeTime_, l.DecodeTime);
    // The labels in words are the command line's data as written; here they
    // are shown in the interface's language.
    maxCor_->setText(Ui(l.MaxCor));
    compressRate_->setText(
        l.CompressPercent.empty()
            ? QString()
            : Ui(kCompressRateText).arg(QString::fromStdString(l.CompressPercent)));
    concatNo_->setStyleSheet(l.ConcatNoOpaque ? "background: #FFFFFF;"
                                              : "background: transparent;");
    if (decodeText_->toPlainText().toStdString() != model_.DecodeText)
        decodeText_->setPlainText(QString::fromStdString(model_.DecodeText));
    decodeText_->setVisible(model_.DecodeTextVisible);
    const auto& b = model_.QrBrowse;
    qrBrowse_->setGeometry(Pixels(b.left, b.top, b.width, b.height));
    qrBrowse_->setVisible(model_.QrBrowseVisible);
}

bool DecodeForm::SaveQrPic(const std::string& path) {
    return SavePictureAsBitmap(qrPicture_, path, screen_.colourDepth);
}

void DecodeForm::Repaint() {
    Render();
    repaint();
}

void DecodeForm::Unload() {
    close();
}

void DecodeForm::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        model_.Form_Unload(main_);
    }
    event->accept();
}

void DecodeForm::Navigate(const std::string& pagePath) {
    QFile page(QString::fromStdString(pagePath));
    if (!page.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = page.readAll();
    qrBrowse_->document()->setDefaultStyleSheet(
        QString::fromStdString(PageStyleSheet(program_.settings)));
    qrBrowse_->setHtml(QString::fromStdString(
        PageForTextBrowser(std::string_view(bytes.constData(), size_t(bytes.size())))));
}

void DecodeForm::OfferText(const std::string& text) {
    clipboard_.AddText(text);
}

void DecodeForm::RestoreAndFocus() {
    Render();
    showNormal();
    raise();
    activateWindow();
}

} // namespace zorvik
