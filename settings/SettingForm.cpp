#include "SettingForm.h"

#include "Language.h"
#include "QtPlatform.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace zorvik {
namespace {

QColor ToQColor(uint32_t colour) {
    return QColor(int(colour & 0xFF), int(colour >> 8 & 0xFF), int(colour >> 16 & 0xFF));
}

} // namespace

// A filled rectangle with a one-pixel border. Like a drawn shape it takes no
// mouse events: the pointer over it is over the dialog's background.
class ColourSwatch final : public QWidget {
  public:
    explicit ColourSwatch(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFixedSize(24, 16);
    }
    void SetColours(uint32_t fill, uint32_t border) {
        if (fill == fill_ && border == border_) return;
        fill_ = fill, border_ = border;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), ToQColor(border_));
        painter.fillRect(rect().adjusted(1, 1, -1, -1), ToQColor(fill_));
    }

  private:
    uint32_t fill_ = 0, border_ = 0;
};

namespace {

constexpr double kFontPoints = 9;

// Hands the colour dialog the custom colours it has always offered for the
// start colour, then asks the real dialog.
class CustomColourDialogs final : public ColourDialogs {
  public:
    explicit CustomColourDialogs(ColourDialogs& inner) : inner_(inner) {}
    int PickColor(QWidget* owner, uint32_t& colour) override {
        const std::array<uint32_t, 16> custom = CustomColourSlots(colour);
        for (int i = 0; i < 16; ++i) QColorDialog::setCustomColor(i, ToQColor(custom[i]));
        return inner_.PickColor(owner, colour);
    }

  private:
    ColourDialogs& inner_;
};

// A left-button press and release both on the widget: a click.
bool IsClick(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonRelease) return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const auto* widget = static_cast<QWidget*>(watched);
    return mouse->button() == Qt::LeftButton &&
           widget->rect().contains(mouse->position().toPoint());
}

} // namespace

SettingForm::SettingForm(Settings& settings, std::string programFolder, MessageBoxes& messages,
                         FileDialogs& files, ColourDialogs& colours, std::function<void()> onUnload,
                         QWidget* owner)
    : QWidget(owner, Qt::Window), model_(settings, std::move(programFolder)), messages_(messages),
      files_(files), colours_(colours), onUnload_(std::move(onUnload)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("SettingForm");
    setWindowTitle(Ui(kSettingCaption));
    setFont(JapaneseFont(kFontPoints));
    setMouseTracking(true); // the background's hover puts the borders back

    auto checkBox = [this](const char* name) {
        auto* box = new QCheckBox(this);
        box->setObjectName(name);
        return box;
    };
    htmlBrowse_ = checkBox("HtmlBrowse");
    msgHtmlBrowse_ =
        ClickableLabel("msgHtmlBrowse", " デコード結果を html 化してブラウザで表示する");
    decodeAtOnce_ = checkBox("DecodeAtOnce");
    msgDecodeAtOnce_ = ClickableLabel(
        "msgDecodeAtOnce", " QRコード範囲確定およびクリップボード取込時に即時デコードする");
    cameraSound_ = checkBox("CameraSound");
    msgCameraSound_ = ClickableLabel("msgCameraSound", " シャッター音の再生");
    segmentInfo_ = checkBox("SegmentInfo");
    msgSegmentInfo_ =
        ClickableLabel("msgSegmentInfo", " 読取データのセグメント情報をテキストファイルに出力する");

    const char* colourCaptions[3] = {"バックカラー", "テキストカラー", "リンクカラー"};
    for (int i = 0; i < 3; ++i) {
        setColor_[i] = new ColourSwatch(this);
        setColor_[i]->setObjectName(QString("SetColor%1").arg(i));
        msgSetColor_[i] =
            ClickableLabel(qPrintable(QString("msgSetColor%1").arg(i)), colourCaptions[i]);
        msgSetColor_[i]->setMouseTracking(true);
    }
    auto* msgFontSize = new QLabel(Ui("フォントサイズ"), this);
    msgFontSize->setObjectName("msgFontSize");
    textFontSize_ = new QLineEdit(this);
    textFontSize_->setObjectName("TextFontSize");
    textFontSize_->setReadOnly(true); // the scroll bar sets the size
    textFontSize_->setAlignment(Qt::AlignCenter);
    textFontSize_->setFixedWidth(28);
    changeFontSize_ = new QScrollBar(Qt::Vertical, this);
    changeFontSize_->setObjectName("ChangeFontSize");
    changeFontSize_->setRange(1, 7);
    changeFontSize_->setPageStep(1);
    changeFontSize_->setFixedHeight(textFontSize_->sizeHint().height());

    auto* label9 = new QLabel(Ui("出力先"), this);
    label9->setObjectName("Label9");
    segmentInfoFile_ = new QLineEdit(this);
    segmentInfoFile_->setObjectName("SegmentInfoFile");
    segmentInfoFile_->setMinimumWidth(300);
    fileSearch_ = new QPushButton(">>", this);
    fileSearch_->setObjectName("FileSearch");
    fileSearch_->setFixedWidth(32);

    const char* buttonCaptions[3] = {"OK", "キャンセル", "適用"};
    for (int i = 0; i < 3; ++i) {
        cmdButton_[i] = new QPushButton(Ui(buttonCaptions[i]), this);
        cmdButton_[i]->setObjectName(QString("CmdButton%1").arg(i));
        cmdButton_[i]->setAutoDefault(false);
    }

    // One row per check box; the colours and the font size, and the output
    // path, indented under the box they depend on.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(2);
    grid->setColumnMinimumWidth(1, 16);
    auto checkRow = [grid](int row, QCheckBox* box, QLabel* caption) {
        grid->addWidget(box, row, 0);
        grid->addWidget(caption, row, 1, 1, 2);
    };
    checkRow(0, htmlBrowse_, msgHtmlBrowse_);
    auto* colourRow = new QHBoxLayout;
    colourRow->setSpacing(4);
    for (int i = 0; i < 3; ++i) {
        colourRow->addWidget(setColor_[i]);
        colourRow->addWidget(msgSetColor_[i]);
        colourRow->addSpacing(12);
    }
    colourRow->addWidget(msgFontSize);
    colourRow->addWidget(textFontSize_);
    colourRow->addWidget(changeFontSize_);
    colourRow->addStretch();
    grid->addLayout(colourRow, 1, 2);
    checkRow(2, decodeAtOnce_, msgDecodeAtOnce_);
    checkRow(3, cameraSound_, msgCameraSound_);
    checkRow(4, segmentInfo_, msgSegmentInfo_);
    auto* fileRow = new QHBoxLayout;
    fileRow->setSpacing(4);
    fileRow->addWidget(label9);
    fileRow->addWidget(segmentInfoFile_, 1);
    fileRow->addWidget(fileSearch_);
    grid->addLayout(fileRow, 5, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : cmdButton_) buttons->addWidget(button);
    auto* page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addSpacing(8);
    page->addLayout(buttons);
    page->setSizeConstraint(QLayout::SetFixedSize);

    auto onCheck = [this](QCheckBox* box, void (SettingFormModel::*change)(int16_t)) {
        connect(box, &QCheckBox::toggled, this, [this, change](bool checked) {
            Handle([&] { (model_.*change)(int16_t(checked ? 1 : 0)); });
        });
    };
    onCheck(htmlBrowse_, &SettingFormModel::HtmlBrowse_Change);
    onCheck(decodeAtOnce_, &SettingFormModel::DecodeAtOnce_Change);
    onCheck(cameraSound_, &SettingFormModel::CameraSound_Change);
    onCheck(segmentInfo_, &SettingFormModel::SegmentInfo_Change);
    connect(changeFontSize_, &QScrollBar::valueChanged, this,
            [this](int value) { Handle([&] { model_.ChangeFontSize_Change(int16_t(value)); }); });
    connect(segmentInfoFile_, &QLineEdit::textEdited, this, [this](const QString& text) {
        Handle([&] { model_.SegmentInfoFile_Change(text.toStdString()); });
    });
    connect(fileSearch_, &QPushButton::clicked, this,
            [this] { Handle([this] { model_.FileSearch_Click(files_, this); }); });
    for (int i = 0; i < 3; ++i)
        connect(cmdButton_[i], &QPushButton::clicked, this, [this, i] {
            Handle([this, i] {
                MessagesOver over(messages_, this); // its message over this dialog
                model_.CmdButton_Click(i, over);
            });
        });

    model_.Form_Load();
    Render();
}

QLabel* SettingForm::ClickableLabel(const char* name, const char* caption) {
    auto* label = new QLabel(Ui(caption), this);
    label->setObjectName(name);
    label->installEventFilter(this);
    return label;
}

bool SettingForm::eventFilter(QObject* watched, QEvent* event) {
    if (IsClick(watched, event)) {
        if (watched == msgHtmlBrowse_) Handle([this] { model_.msgHtmlBrowse_Click(); });
        if (watched == msgDecodeAtOnce_) Handle([this] { model_.msgDecodeAtOnce_Click(); });
        if (watched == msgCameraSound_) Handle([this] { model_.msgCameraSound_Click(); });
        if (watched == msgSegmentInfo_) Handle([this] { model_.msgSegmentInfo_Click(); });
    }
    for (int i = 0; i < 3; ++i) {
        if (watched != msgSetColor_[i]) continue;
        if (IsClick(watched, event)) {
            CustomColourDialogs dialogs(colours_);
            Handle([&] { model_.msgSetColor_Click(i, dialogs, this); });
        } else if (event->type() == QEvent::MouseMove) {
            Handle([this, i] { model_.msgSetColor_MouseMove(i); });
            return true; // not on to the background, which would undo it
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SettingForm::mouseMoveEvent(QMouseEvent* event) {
    Handle([this] { model_.Form_MouseMove(); });
    QWidget::mouseMoveEvent(event);
}

void SettingForm::Handle(const std::function<void()>& handler) {
    handler();
    Render();
    if (model_.FocusSegmentInfoFile) {
        model_.FocusSegmentInfoFile = false;
        segmentInfoFile_->setFocus(Qt::OtherFocusReason);
    }
    if (model_.CloseRequested) {
        model_.CloseRequested = false;
        close();
    }
}

void SettingForm::Render() {
    auto check = [](QCheckBox* box, int16_t value) {
        const QSignalBlocker quiet(box);
        box->setChecked(value == 1);
    };
    check(htmlBrowse_, model_.HtmlBrowse);
    check(decodeAtOnce_, model_.DecodeAtOnce);
    check(cameraSound_, model_.CameraSound);
    check(segmentInfo_, model_.SegmentInfo);
    for (int i = 0; i < 3; ++i)
        setColor_[i]->SetColours(model_.SetColorFill[i], model_.SetColorBorder[i]);

    textFontSize_->setText(QString::fromStdString(model_.TextFontSize));
    textFontSize_->setEnabled(model_.TextFontSizeEnabled);
    {
        const QSignalBlocker quiet(changeFontSize_);
        changeFontSize_->setValue(model_.ChangeFontSize);
    }
    changeFontSize_->setEnabled(model_.ChangeFontSizeEnabled);

    const QString path = QString::fromStdString(model_.SegmentInfoFile);
    if (segmentInfoFile_->text() != path) segmentInfoFile_->setText(path);
    segmentInfoFile_->setEnabled(model_.SegmentInfoFileEnabled);
    fileSearch_->setEnabled(model_.FileSearchEnabled);
    for (int i = 0; i < 3; ++i) cmdButton_[i]->setEnabled(model_.CmdButtonEnabled[i]);
}

void SettingForm::changeEvent(QEvent* event) {
    // The main window disables itself while the options are open; that must
    // not take this window with it. Controls the model disabled stay so.
    if (event->type() == QEvent::EnabledChange && !isEnabled() && parentWidget() &&
        !parentWidget()->isEnabled())
        setEnabled(true);
    QWidget::changeEvent(event);
}

void SettingForm::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        if (onUnload_) onUnload_();
    }
    event->accept();
}

} // namespace zorvik
