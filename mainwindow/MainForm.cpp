#include "MainForm.h"

#include "BeyondSettings.h"
#include "DataFolder.h"
#include "PictureFile.h"
#include "QtPictureReader.h"
#include "QtPlatform.h"
#include "ResultPage.h"
#include "SettingForm.h"
#include "Settings.h"
#include "ToolbarIcons.h"
#include "UserTempFolder.h"
#include "VersionForm.h"
#include "WheelHookFilter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFutureWatcher>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QToolButton>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>
#include <filesystem>
#include <utility>

namespace zorvik {

// SelectPic: the picture at the current zoom, with the selection rectangle
// and the found symbols' outlines drawn over it. Mouse events go to the main
// window in twips; wheel events are left to the frame, where the wheel hook
// sees them. Enter and Tab go to the outlines while there are any.
class ImageView final : public QWidget {
  public:
    ImageView(MainForm& form, QWidget* parent) : QWidget(parent), form_(form) {
        setFocusPolicy(Qt::StrongFocus);
    }
    QImage surface;  // what is drawn on the view, persistent; its pixels are device pixels
    QRect selection; // device pixels
    bool selectionVisible = false;
    float twipsX = 15, twipsY = 15;
    const SymbolOutlines* outlines = nullptr;
    ViewTransform transform; // the picture's pixels in this view

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (!surface.isNull()) p.drawImage(0, 0, surface);
        if (outlines) {
            p.save();
            PaintOutlines(p);
            p.restore();
        }
        if (!selectionVisible) return;
        // Two tones, so the outline shows on dark modules and on light ones;
        // on device pixels, where the picture's own pixels lie.
        const qreal ratio = devicePixelRatioF();
        if (ratio != 1) p.scale(1 / ratio, 1 / ratio);
        const qreal width = std::max<qreal>(1, std::floor(ratio));
        const QRect r = selection.adjusted(0, 0, -1, -1);
        p.setPen(QPen(Qt::white, width));
        p.drawRect(r);
        p.setPen(QPen(Qt::black, width, Qt::DashLine));
        p.drawRect(r);
    }
    void keyPressEvent(QKeyEvent* e) override {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && outlines &&
            !outlines->empty()) {
            form_.SymbolOutline_Enter();
            return;
        }
        QWidget::keyPressEvent(e);
    }
    // Tab and Shift+Tab reach the view here, before the focus chain sees them.
    bool focusNextPrevChild(bool next) override {
        return form_.SymbolOutline_Tab(next) || QWidget::focusNextPrevChild(next);
    }
    void mousePressEvent(QMouseEvent* e) override {
        const QPointF at = Position(e);
        form_.SelectPic_MouseDown(Button(e->button()), Shift(e), X(at), Y(at));
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        const QPointF at = Position(e);
        form_.SelectPic_MouseMove(Buttons(e->buttons()), Shift(e), X(at), Y(at));
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        const QPointF at = Position(e);
        form_.SelectPic_MouseUp(Button(e->button()), Shift(e), X(at), Y(at));
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        // The second press of a double click is the double click alone.
        if (e->button() == Qt::LeftButton) form_.SelectPic_DblClick();
    }
    // Qt hands a widget the pointer in whole logical pixels, its window to
    // the device pixel (half a logical pixel at a scale of 2): the view
    // watches its window's mouse events and takes the finer position.
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            windowPoint_ = static_cast<QMouseEvent*>(e)->position();
            break;
        default:
            break;
        }
        return false;
    }

  private:
    static int Button(Qt::MouseButton b) {
        return b == Qt::LeftButton ? 1 : b == Qt::RightButton ? 2 : b == Qt::MiddleButton ? 4 : 0;
    }
    static int Buttons(Qt::MouseButtons b) {
        return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) |
               (b & Qt::MiddleButton ? 4 : 0);
    }
    static int Shift(const QMouseEvent* e) {
        const auto m = e->modifiers();
        return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
               (m & Qt::AltModifier ? 4 : 0);
    }
    // Each outline on a white underlay, so it shows on dark and on light
    // pictures; the focused one wider and in another colour, each numbered.
    void PaintOutlines(QPainter& p) const {
        p.setRenderHint(QPainter::Antialiasing);
        QFont font = p.font();
        font.setBold(true);
        p.setFont(font);
        const QFontMetrics metrics(font);
        for (int i = 0; i < int(outlines->symbols().size()); ++i) {
            const bool focused = i == outlines->focus();
            QPolygonF polygon;
            for (const ViewPoint& v : outlines->OutlineInView(i, transform))
                polygon << QPointF(v.x, v.y);
            const QColor colour = focused ? QColor(255, 120, 0) : QColor(0, 110, 230);
            const qreal width = focused ? 3 : 2;
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(Qt::white, width + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolygon(polygon);
            p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolygon(polygon);
            // The number in a tag at the outline's top-left, inside the view.
            const QString number = QString::number(i + 1);
            const QRectF bounds = polygon.boundingRect();
            QRectF tag(0, 0, metrics.horizontalAdvance(number) + 8, metrics.height() + 2);
            tag.moveBottomLeft(bounds.topLeft() - QPointF(0, 2));
            if (tag.top() < 0) tag.moveTopLeft(bounds.topLeft() + QPointF(3, 3));
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawRect(tag);
            p.setPen(Qt::white);
            p.drawText(tag, Qt::AlignCenter, number);
        }
    }
    // The position of the window's event this one came from, else its own.
    QPointF Position(const QMouseEvent* e) {
        const QPointF given = e->position();
        if (!windowPoint_) return given;
        const QPointF fine =
            *std::exchange(windowPoint_, std::nullopt) - mapTo(window(), QPointF());
        const QPointF off = fine - given;
        return std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1 ? fine : given;
    }
    float X(QPointF at) const { return float(at.x()) * twipsX; }
    float Y(QPointF at) const { return float(at.y()) * twipsY; }

    MainForm& form_;
    std::optional<QPointF> windowPoint_;
};

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// Said once at start when no folder that only this user can write could be
// had: nothing is written then, so no selection can be decoded.
constexpr const char* kNoPrivateTempFolder =
    "一時ファイルを安全に置けるフォルダを用意できませんでした。"
    "このままではデコードできません。\n"
    "XDG_RUNTIME_DIR または TMPDIR に、自分だけが書き込めるフォルダを指定してください。";

// A paste of a picture that cannot be used; %1 is the reason.
constexpr const char* kPastedPictureRefused =
    "クリップボードの画像を取り込めませんでした。表示中の画像はそのままです。\n（%1）";

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

} // namespace

MainForm::MainForm(Services services, std::string programFolder, std::string tempFolder)
    : messages_(services.messages), clipboard_(services.clipboard), capture_(services.capture),
      sound_(services.sound), fileDialogs_(services.fileDialogs),
      colourDialogs_(services.colourDialogs), browser_(services.browser), help_(services.help),
      programFolderArg_(std::move(programFolder)), tempFolderArg_(std::move(tempFolder)),
      screen_(ScreenMetricsFor(nullptr)),
      model_(screen_.TwipsPerPixelX, screen_.TwipsPerPixelY, 0, 0, screen_.devicePixelRatio) {
    Form_Load();
}

MainForm::~MainForm() {
    Form_Unload();
}

void MainForm::Form_Load() {
    if (tempFolderArg_.empty()) {
        // A folder of this program's own, so that two running programs never
        // share a temporary name.
        runFolder_ = std::make_unique<RunFolder>(UserTempFolder());
        program_.TempFolder = runFolder_->path();
    } else {
        program_.TempFolder = WithSlash(tempFolderArg_);
    }
    program_.ProgramFolder =
        WithSlash(programFolderArg_.empty() ? QCoreApplication::applicationDirPath().toStdString()
                                            : programFolderArg_);
    std::error_code error;
    program_.DebugFolder = std::filesystem::exists(program_.ProgramFolder + "DEBUG_ON", error)
                               ? program_.ProgramFolder
                               : "";
    LoadSettings(program_.settings, program_.ProgramFolder);
    program_.beyond = LoadBeyondSettings(SettingsPlaceFor(program_.ProgramFolder));

    setWindowTitle(Ui(kMainCaption));
    model_.ShownText = [](const std::string& text) { return UiText(text); };
    model_.mGuidance = UiText(model_.mGuidance);
    setFont(JapaneseFont(9));
    BuildControls();
    BuildMenus();

    m_CWheel = std::make_unique<clsWheelMouse>();
    m_CWheel->MouseWheel = [this](int16_t vector) { m_CWheel_MouseWheel(vector); };
    modWheelMouse::SetTwipsPerPixel(screen_.TwipsPerPixelX, screen_.TwipsPerPixelY);
    wheelHook_ = new WheelHookFilter(imageFrame_);
    // The wheel scrolls by the hook's rules over the bars too: the
    // horizontal bar is never moved by it.
    wheelHook_->TakeWheelFrom(hsBar_);
    wheelHook_->TakeWheelFrom(vsBar_);
    m_CWheel->Initialize(wheelHook_->Handle());

    guidanceTimer_.setInterval(1000);
    connect(&guidanceTimer_, &QTimer::timeout, this, [this] { GuidanceTimer_Timer(); });
    guidanceWipe_.setInterval(50);
    connect(&guidanceWipe_, &QTimer::timeout, this, [this] {
        model_.GuidanceWipe_Step();
        Render();
    });
    clickTimer_.setInterval(1);
    clickTimer_.setSingleShot(true);
    connect(&clickTimer_, &QTimer::timeout, this, [this] { ClickTimer_Timer(); });

    // The menu bar sits outside the client area, as the design layout has it.
    model_.frameHeight =
        int32_t(std::lround(menuBar()->sizeHint().height() * screen_.TwipsPerPixelY));
    int32_t outerWidth = 0, outerHeight = 0;
    model_.Form_Load(screen_.widthTwips, screen_.heightTwips, outerWidth, outerHeight);
    setMinimumSize(PixelsX(MainFormModel::kWidthMin), PixelsY(MainFormModel::kHeightMin));
    resize(PixelsX(outerWidth), PixelsY(outerHeight));
    setAcceptDrops(true);
    if (program_.TempFolder.empty())
        QTimer::singleShot(0, this, [this] {
            if (!unloaded_)
                messages_.ShowMessageOver(this, kNoPrivateTempFolder, kMessageBoxTitle,
                                          MessageIcon::Critical);
        });
    winId();
    if (QWindow* handle = windowHandle()) {
        connect(handle, &QWindow::screenChanged, this, [this] { ScreenChanged(); });
        handle->installEventFilter(selectPic_);
    }
    Render();
}

void MainForm::LayOut() {
    int32_t W = int32_t(std::lround(width() * double(screen_.TwipsPerPixelX)));
    int32_t H = int32_t(std::lround(height() * double(screen_.TwipsPerPixelY)));
    model_.Form_Resize(W, H, isMinimized());
    Render();
}

void MainForm::ScreenChanged() {
    const ScreenMetrics now = ScreenMetricsFor(this);
    const bool rescaled = now.TwipsPerPixelX != screen_.TwipsPerPixelX ||
                          now.TwipsPerPixelY != screen_.TwipsPerPixelY ||
                          now.devicePixelRatio != screen_.devicePixelRatio;
    screen_ = now;
    if (!rescaled) return;
    model_.ChangeTwipsPerPixel(screen_.TwipsPerPixelX, screen_.TwipsPerPixelY,
                               screen_.devicePixelRatio);
    selectPic_->surface.setDevicePixelRatio(screen_.devicePixelRatio);
    selectPic_->twipsX = screen_.TwipsPerPixelX, selectPic_->twipsY = screen_.TwipsPerPixelY;
    modWheelMouse::SetTwipsPerPixel(screen_.TwipsPerPixelX, screen_.TwipsPerPixelY);
    LayOut();
}

void MainForm::BuildControls() {
    auto* client = new QWidget(this);
    setCentralWidget(client);

    auto button = [&](ToolbarPicture picture, const char* tip, TwipRect r) {
        auto* b = new QToolButton(client);
        b->setIcon(ToolbarIcon(picture));
        b->setIconSize(QSize(24, 16));
        b->setToolTip(Ui(tip));
        b->setGeometry(Pixels(r));
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    avtiveScreenCam_ =
        button(ToolbarPicture::BlueCamera, "青カメラ - アクティブウィンドをキャプチャします",
               {60, 60, 465, 315});
    fullScreenCam_ = button(ToolbarPicture::RedCamera,
                            "赤カメラ - デスクトップ全体をキャプチャします", {540, 60, 465, 315});
    getClipboard_ = button(ToolbarPicture::Clipboard, "クリップボードから画像を取り込みます",
                           {1020, 60, 465, 315});
    zoomOut_ = button(ToolbarPicture::ZoomOut, "画像を縮小表示します", {1740, 60, 465, 315});
    zoomIn_ = button(ToolbarPicture::ZoomIn, "画像を拡大表示します", {2220, 60, 465, 315});
    modeSelect_[0] = button(ToolbarPicture::Hand, "手アイコンに切り替えます", {2940, 60, 465, 315});
    modeSelect_[1] = button(ToolbarPicture::Cross, "┼アイコンに切り替えます", {3420, 60, 465, 315});
    decode_ = button(ToolbarPicture::Decode, "QRコードをデコードします", {4140, 60, 465, 315});
    connect(avtiveScreenCam_, &QToolButton::clicked, this, [this] { CaptureScreen(0); });
    connect(fullScreenCam_, &QToolButton::clicked, this, [this] { CaptureScreen(1); });
    connect(getClipboard_, &QToolButton::clicked, this, [this] { GetClipboard_Click(); });
    connect(zoomOut_, &QToolButton::clicked, this, [this] { ZoomOut_Click(); });
    connect(zoomIn_, &QToolButton::clicked, this, [this] { ZoomIn_Click(); });
    connect(modeSelect_[0], &QToolButton::clicked, this, [this] { ModeSelect_Click(0); });
    connect(modeSelect_[1], &QToolButton::clicked, this, [this] { ModeSelect_Click(1); });
    connect(decode_, &QToolButton::clicked, this, [this] { Decode_Click(); });

    // The etched separator: a grey line over a white one.
    line1_ = new QWidget(client);
    line1_->setStyleSheet("background: #808080;");
    line2_ = new QWidget(client);
    line2_->setStyleSheet("background: #FFFFFF;");

    imageFrame_ = new QWidget(client);
    imageFrame_->setAutoFillBackground(true);
    imageFrame_->setBackgroundRole(QPalette::Dark);
    selectPic_ = new ImageView(*this, imageFrame_);
    selectPic_->twipsX = screen_.TwipsPerPixelX, selectPic_->twipsY = screen_.TwipsPerPixelY;
    selectPic_->outlines = &outlines_;

    auto bar = [&](Qt::Orientation orientation) {
        auto* b = new QScrollBar(orientation, client);
        b->setMinimum(0);
        b->setSingleStep(1);
        b->setPageStep(50);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    hsBar_ = bar(Qt::Horizontal);
    vsBar_ = bar(Qt::Vertical);
    connect(hsBar_, &QScrollBar::valueChanged, this, [this](int v) {
        model_.HsBar_Change(int16_t(v));
        Render();
        selectPic_->setFocus();
    });
    connect(vsBar_, &QScrollBar::valueChanged, this, [this](int v) {
        model_.VsBar_Change(int16_t(v));
        Render();
        selectPic_->setFocus();
    });

    statusCont_ = new QWidget(client);
    auto box = [&](QFrame::Shadow shadow) {
        auto* l = new QLabel(statusCont_);
        l->setFrameStyle(QFrame::Panel | shadow);
        return l;
    };
    guidanceCont_ = box(QFrame::Sunken);
    zoomRateCont_ = box(QFrame::Sunken);
    xsizeCont_ = box(QFrame::Sunken);
    ysizeCont_ = box(QFrame::Sunken);
    auto label = [&](Qt::Alignment alignment) {
        auto* l = new QLabel(statusCont_);
        l->setAlignment(alignment | Qt::AlignVCenter);
        l->setAttribute(Qt::WA_TranslucentBackground);
        return l;
    };
    mGuidance_ = label(Qt::AlignLeft);
    mZoomRate_ = label(Qt::AlignHCenter);
    mXsize_ = label(Qt::AlignHCenter);
    mYsize_ = label(Qt::AlignHCenter);
}

void MainForm::BuildMenus() {
    auto item = [this](QMenu* menu, const char* caption, auto handler) {
        QAction* action = menu->addAction(Ui(caption));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu* menu1 = menuBar()->addMenu(Ui("ファイル(&F)"));
    menu1item_[0] = item(menu1, "選択範囲を保存", [this] { SaveSelection(); });
    menu1item_[1] = menu1->addSeparator();
    menu1item_[2] = item(menu1, "終了(&X)", [this] { close(); });

    QMenu* menu2 = menuBar()->addMenu(Ui("編集(&E)"));
    menu2item_[0] =
        item(menu2, "赤カメラ - アクティブウィンドキャプチャ", [this] { CaptureScreen(0); });
    menu2item_[1] =
        item(menu2, "青カメラ - デスクトップ全体キャプチャ", [this] { CaptureScreen(1); });
    menu2item_[2] =
        item(menu2, "クリップボードから画像を貼り付け", [this] { GetClipboard_Click(); });
    menu2item_[3] = menu2->addSeparator();
    menu2item_[4] = item(menu2, "表示縮小", [this] { ChangeZoom(-1); });
    menu2item_[5] = item(menu2, "表示拡大", [this] { ChangeZoom(+1); });
    menu2->addSeparator();
    openPictureItem_ = item(menu2, "画像ファイルを開く", [this] { OpenPicture_Click(); });
    // Keys of the window, not of the items: the menu items keep no shortcut keys.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_V), this), &QShortcut::activated, this,
            [this] { GetClipboard_Click(); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this), &QShortcut::activated, this,
            [this] { OpenPicture_Click(); });

    QMenu* menu3 = menuBar()->addMenu(Ui("設定(&O)"));
    menu3Item_[0] = item(menu3, "オプション設定", [this] { OpenOptions(); });
    menu3->addSeparator();
    auto option = [&](const char* caption, bool BeyondSettings::*field) {
        QAction* action = menu3->addAction(Ui(caption));
        action->setCheckable(true);
        action->setChecked(program_.beyond.*field);
        connect(action, &QAction::triggered, this,
                [this, field](bool on) { SetBeyondOption(field, on); });
        return action;
    };
    beyondItem_[0] = option("画像全体からQRコードを探す", &BeyondSettings::FindSymbols);
    beyondItem_[1] =
        option("QRコードが1つならすぐデコードする", &BeyondSettings::DecodeSingleSymbol);
    beyondItem_[2] =
        option("デコードしたテキストをクリップボードにコピー", &BeyondSettings::CopyText);
    QMenu* menu4 = menuBar()->addMenu(Ui("ヘルプ(&H)"));
    menu4item_[0] = item(menu4, "ミルカ ヘルプ", [this] { OpenHelpCommand(); });
    menu4item_[1] = item(menu4, "バージョン情報", [this] { OpenAbout(); });
}

QWidget* MainForm::selectPic() const {
    return selectPic_;
}

int MainForm::PixelsX(double twips) const {
    return int(std::lround(twips / screen_.TwipsPerPixelX));
}

int MainForm::PixelsY(double twips) const {
    return int(std::lround(twips / screen_.TwipsPerPixelY));
}

int MainForm::DevicePixelsX(double twips) const {
    return int(std::lround(twips / model_.TwipsPerDevicePixelX()));
}

int MainForm::DevicePixelsY(double twips) const {
    return int(std::lround(twips / model_.TwipsPerDevicePixelY()));
}

QRect MainForm::Pixels(const TwipRect& r) const {
    return QRect(PixelsX(r.left), PixelsY(r.top), PixelsX(r.width), PixelsY(r.height));
}

// Every control's geometry, text, enabled state and timer from the model.
void MainForm::Render() {
    const MainFormModel& m = model_;
    line1_->setGeometry(0, 0, PixelsX(m.LineX2), 1);
    line2_->setGeometry(0, 1, PixelsX(m.LineX2), 1);
    imageFrame_->setGeometry(Pixels(m.ImageFrame));
    selectPic_->setGeometry(Pixels(m.SelectPic));
    selectPic_->setVisible(m.SelectPic.width > 0 && m.SelectPic.height > 0);
    selectPic_->selectionVisible = m.SelectBox.visible;
    selectPic_->selection =
        QRect(DevicePixelsX(m.SelectBox.left), DevicePixelsY(m.SelectBox.top),
              DevicePixelsX(m.SelectBox.width), DevicePixelsY(m.SelectBox.height));
    // The view moves in its frame when scrolled, so only the zoom (and the
    // device pixels to a logical one) places the outlines in it.
    if (!basePic_.isNull() && !selectPic_->surface.isNull()) {
        const QSizeF shown = selectPic_->surface.deviceIndependentSize();
        selectPic_->transform = {shown.width() / basePic_.width(),
                                 shown.height() / basePic_.height(), 0, 0};
    }
    switch (m.ViewPointer()) {
    case MainFormModel::Pointer::CrossHair:
        selectPic_->setCursor(Qt::CrossCursor);
        break;
    case MainFormModel::Pointer::GrippingHand:
        selectPic_->setCursor(Qt::ClosedHandCursor);
        break;
    case MainFormModel::Pointer::OpenHand:
        selectPic_->setCursor(Qt::OpenHandCursor);
        break;
    }
    selectPic_->update();

    for (auto [bar, rect, state] :
         {std::tuple{hsBar_, m.HsBar, m.HsBarState}, std::tuple{vsBar_, m.VsBar, m.VsBarState}}) {
        const QSignalBlocker quiet(bar);
        bar->setGeometry(Pixels(rect));
        bar->setMaximum(state.max);
        bar->setValue(state.value);
    }
    statusCont_->setGeometry(Pixels(m.StatusCont));
    guidanceCont_->setGeometry(Pixels(m.GuidanceCont));
    mGuidance_->setGeometry(Pixels(m.mGuidanceRect));
    zoomRateCont_->setGeometry(Pixels(m.ZoomRateCont));
    mZoomRate_->setGeometry(Pixels(m.mZoomRateRect));
    xsizeCont_->setGeometry(Pixels(m.XsizeCont));
    mXsize_->setGeometry(Pixels(m.mXsizeRect));
    ysizeCont_->setGeometry(Pixels(m.YsizeCont));
    mYsize_->setGeometry(Pixels(m.mYsizeRect));
    mGuidance_->setText(Text(m.mGuidance)); // in the window's language already
    mZoomRate_->setText(Ui(m.mZoomRate));
    mXsize_->setText(Text(m.mXsize));
    mYsize_->setText(Text(m.mYsize));

    zoomOut_->setEnabled(m.ZoomOutEnabled);
    zoomIn_->setEnabled(m.ZoomInEnabled);
    decode_->setEnabled(m.DecodeEnabled);
    modeSelect_[0]->setDown(m.HandFacePressed);
    modeSelect_[1]->setDown(m.BoxFacePressed);
    menu1item_[0]->setEnabled(m.SaveSelectionItemEnabled);
    menu2item_[4]->setEnabled(m.ZoomOutItemEnabled);
    menu2item_[5]->setEnabled(m.ZoomInItemEnabled);

    auto run = [](QTimer& timer, bool on) {
        if (on && !timer.isActive()) timer.start();
        if (!on && timer.isActive()) timer.stop();
    };
    run(guidanceTimer_, m.GuidanceTimerEnabled && !m.GuidanceWiping);
    run(guidanceWipe_, m.GuidanceWiping);
    run(clickTimer_, m.ClickTimerEnabled);
}

void MainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!m_CWheel) return; // still being built
    LayOut();
    if (isVisible()) selectPic_->setFocus();
}

void MainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Form_Activate: the view takes the keyboard, so the wheel reaches it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) selectPic_->setFocus();
    // The window system may report a resize while the window still counts as
    // minimised (a capture restoring a maximised window does), and a resize
    // of a minimised window is skipped: lay out again for the new state.
    if (event->type() == QEvent::WindowStateChange && m_CWheel) LayOut();
}

void MainForm::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void MainForm::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    // The result window closes first, while this window can still take its
    // guidance.
    if (decodeForm_) decodeForm_->close();
    if (dialog_) dialog_->close();
    std::error_code error;
    for (const char* name : {kTempBitmapName, kResultPageName}) {
        const std::string path = program_.TempFolder + name;
        if (std::filesystem::exists(path, error)) std::filesystem::remove(path, error);
    }
    runFolder_.reset();
    help_.CloseAll(); // a failing step does not stop the shut-down
    if (m_CWheel) m_CWheel->Terminate();
    m_CWheel.reset();
    guidanceTimer_.stop(), guidanceWipe_.stop(), clickTimer_.stop();
}

void MainForm::PutPicture(const QImage& picture) {
    basePic_ = picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_RGB32);
    basePic_.setDevicePixelRatio(1);
    selectPic_->surface = basePic_;
    // One picture pixel on each device pixel.
    selectPic_->surface.setDevicePixelRatio(screen_.devicePixelRatio);
    outlines_.BeginPicture(false); // the last picture's outlines go at once
}

void MainForm::PictureArrived() {
    const bool shown = !basePic_.isNull() && model_.SelectPic.width > 0 &&
                       model_.SelectPic.height > 0 &&
                       model_.MOUSE_MODE != MainFormModel::NoImageYet;
    const uint64_t generation = outlines_.BeginPicture(shown && model_.SelectBox.visible);
    selectPic_->update();
    if (!shown || !program_.beyond.FindSymbols) return;
    // The search gets its own copy of the picture and touches no widget.
    auto* watcher = new QFutureWatcher<PictureScan>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        ScanFinished(generation, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([picture = basePic_] {
        try {
            return ScanPicture(ImageToBitmap(picture, 24));
        } catch (const std::exception&) {
            return PictureScan{}; // out of memory: no outlines, nothing else lost
        }
    }));
}

void MainForm::ScanFinished(uint64_t generation, PictureScan scan) {
    if (unloaded_ || !outlines_.Accept(generation, std::move(scan.symbols), scan.elapsedMs)) return;
    selectPic_->update();
    // Not while a dialog holds this window: the user is busy elsewhere.
    if (outlines_.DecodeByItself(program_.beyond.DecodeSingleSymbol) && isEnabled()) PickSymbol(0);
}

void MainForm::PickSymbol(int index) {
    if (basePic_.isNull() || index < 0 || index >= int(outlines_.symbols().size())) return;
    outlines_.SetFocus(index);
    const PickRect r =
        SelectionAround(outlines_.symbols()[size_t(index)], basePic_.width(), basePic_.height());
    pickFallback_ = outlines_.OutcomeOf(index);
    model_.SelectPictureRectangle(r.left, r.top, r.width, r.height, *this);
    pickFallback_.reset();
    Render();
}

void MainForm::SymbolOutline_Enter() {
    PickSymbol(outlines_.focus());
}

bool MainForm::SymbolOutline_Tab(bool forward) {
    if (outlines_.empty()) return false;
    outlines_.MoveFocus(forward);
    selectPic_->update();
    return true;
}

void MainForm::GetClipboard_Click() {
    std::string refusal;
    const QImage picture = clipboard_.ReadPicture(&refusal);
    // A picture offered but refused (too large, unreadable) takes nothing
    // from the one on view; only a clipboard without one empties the view.
    if (!refusal.empty()) {
        messages_.ShowMessageOver(
            this, Ui(kPastedPictureRefused).arg(QString::fromStdString(refusal)).toStdString(),
            kMessageBoxTitle, MessageIcon::Critical);
        return;
    }
    const bool read = !picture.isNull();
    PutPicture(picture);
    model_.GetClipboard_Click(read, picture.width(), picture.height(),
                              program_.settings.DecodeAtOnce, *this);
    if (model_.SelectPic.width == 0 || model_.SelectPic.height == 0) basePic_ = QImage();
    PictureArrived();
    Render();
    selectPic_->setFocus();
}

void MainForm::ChangeZoom(int16_t step) {
    model_.ChangeZoom(step);
    // The stretched copy of the 1:1 picture, each pixel repeated.
    const QSize size(DevicePixelsX(model_.SelectPic.width), DevicePixelsY(model_.SelectPic.height));
    selectPic_->surface =
        model_.ZoomFactor < 2 || basePic_.isNull()
            ? basePic_
            : basePic_.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    selectPic_->surface.setDevicePixelRatio(screen_.devicePixelRatio);
    Render();
}

void MainForm::ZoomIn_Click() {
    ChangeZoom(+1);
}

void MainForm::ZoomOut_Click() {
    ChangeZoom(-1);
}

void MainForm::ModeSelect_Click(int index) {
    model_.ModeSelect_Click(index);
    Render();
}

void MainForm::Decode_Click() {
    model_.Decode_Click(*this);
    Render();
}

void MainForm::SelectPopupMenu(int index) {
    switch (index) {
    case 0:
        Decode_Click();
        break;
    case 2:
        ChangeZoom(-1);
        break;
    case 3:
        ChangeZoom(+1);
        break;
    case 5:
        SaveSelection();
        break;
    default:
        break;
    }
}

void MainForm::SelectPic_MouseDown(int button, int shift, float x, float y) {
    leftPress_.reset();
    if (button == 1) leftPress_ = ViewPoint{x / screen_.TwipsPerPixelX, y / screen_.TwipsPerPixelY};
    model_.SelectPic_MouseDown(button, shift, x, y);
    Render();
}

void MainForm::SelectPic_MouseMove(int button, int shift, float x, float y) {
    // A press in box mode that becomes a drag wins over anything automatic.
    if ((button & 1) && leftPress_ && model_.MOUSE_MODE == MainFormModel::BoxMode &&
        !IsClick(*leftPress_, {x / screen_.TwipsPerPixelX, y / screen_.TwipsPerPixelY}))
        outlines_.NoteDrag();
    model_.SelectPic_MouseMove(button, shift, x, y);
    Render();
}

void MainForm::SelectPic_MouseUp(int button, int shift, float x, float y) {
    const std::optional<ViewPoint> press = std::exchange(leftPress_, std::nullopt);
    if (button == 1 && press &&
        IsClick(*press, {x / screen_.TwipsPerPixelX, y / screen_.TwipsPerPixelY})) {
        const int index = outlines_.SymbolAt(*press, selectPic_->transform);
        if (index >= 0) {
            PickSymbol(index);
            return;
        }
    }
    model_.SelectPic_MouseUp(button, shift, x, y, program_.settings.DecodeAtOnce, *this);
    Render();
}

void MainForm::SelectPic_DblClick() {
    leftPress_.reset(); // its release ends a double click, not a click
    model_.SelectPic_DblClick();
    Render();
}

void MainForm::ClickTimer_Timer() {
    model_.ClickTimer_Timer(*this);
    Render();
}

void MainForm::GuidanceTimer_Timer() {
    model_.GuidanceTimer_Timer();
    Render();
}

void MainForm::m_CWheel_MouseWheel(int16_t iniVector) {
    model_.m_CWheel_MouseWheel(iniVector);
    Render();
}

void MainForm::SetGuidance(const std::string& text, int16_t waitSec) {
    if (unloaded_) return;
    model_.SetGuidance(text, waitSec);
    Render();
}

void MainForm::FocusMainWindow() {
    if (unloaded_) return;
    activateWindow();
    selectPic_->setFocus();
}

void MainForm::OwnWindow(QWidget* window) {
    window->winId();
    if (QWindow* handle = window->windowHandle()) handle->setTransientParent(windowHandle());
}

DecodeForm& MainForm::LoadDecodeForm() {
    if (!decodeForm_) {
        decodeForm_ = new DecodeForm(program_, messages_, browser_, clipboard_, screen_, *this);
        OwnWindow(decodeForm_);
    }
    return *decodeForm_;
}

void MainForm::ShowDialog(QWidget* dialog) {
    dialog_ = dialog;
    OwnWindow(dialog);
    setEnabled(false);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void MainForm::OpenAbout() {
    ShowDialog(new VersionForm(browser_, [this] { setEnabled(true); }));
}

void MainForm::OpenHelpCommand() {
    OpenHelp(help_, this, program_.ProgramFolder);
}

void MainForm::OpenOptions() {
    ShowDialog(new SettingForm(program_.settings, program_.ProgramFolder, messages_, fileDialogs_,
                               colourDialogs_, [this] {
                                   setEnabled(true);
                                   activateWindow();
                               }));
}

QImage MainForm::CutPicture(const TwipRect& rect) const {
    QImage picture(std::max(DevicePixelsX(rect.width), 0), std::max(DevicePixelsY(rect.height), 0),
                   QImage::Format_RGB32);
    picture.fill(Qt::white);
    if (!picture.isNull()) {
        QPainter p(&picture);
        p.drawImage(-DevicePixelsX(rect.left), -DevicePixelsY(rect.top), basePic_);
    }
    return picture;
}

void MainForm::DecodeSelection(const TwipRect& rect) {
    DecodeForm& form = LoadDecodeForm();
    form.SetQrPicture(CutPicture(rect));
    form.SetCaption(kDecodeCaptionBusy);
    form.show();
    form.raise();
    form.activateWindow();
    form.DecodeQR(pickFallback_ ? &*pickFallback_ : nullptr);
}

void MainForm::SaveSelection() {
    const TwipRect rect = model_.SelectionAtActualSize();
    DecodeForm& form = LoadDecodeForm(); // loaded, not shown
    form.SetQrPicture(CutPicture(rect));
    using namespace std::string_literals;
    std::string path;
    if (fileDialogs_.PickSaveFile(this, path, "ビットマップ (*.bmp)\0*.bmp\0"s, 6,
                                  "ビットマップ保存"))
        SavePictureAsBitmap(form.QrPicture(), path, screen_.colourDepth); // failure not reported
    form.close();
    Render();
}

void MainForm::CaptureScreen(int16_t mode) {
    if (program_.DecodeWindowOpen && decodeForm_) decodeForm_->close();
    const bool wasMaximised = isMaximized();
    // What needs the user (the portal's permission prompt or picker) comes
    // while the window is shown; it may settle the capture there and then.
    CaptureResult shot = capture_.BeforeHiding(mode == 1, windowHandle());
    const bool stepAside = shot.picture.isNull() && shot.note.empty();
    if (stepAside) {
        // Minimised, so that in mode 0 the window the system activates in
        // its place is the one captured. A Wayland client cannot bring a
        // minimised window back itself: there it is hidden and shown again.
        if (QGuiApplication::platformName().startsWith("wayland"))
            hide();
        else
            showMinimized();
        capture_.Pause(program_.settings.CameraSound == 1 ? 400 : 800);
    }
    clipboard_.Clear();
    if (stepAside) shot = mode == 0 ? capture_.ActiveWindow() : capture_.Desktop();
    // The capture goes through the clipboard, as a picture copied by hand.
    QImage picture;
    if (!shot.picture.isNull()) {
        clipboard_.WritePicture(shot.picture);
        picture = clipboard_.ReadPicture();
    }
    const bool read = !picture.isNull();
    PutPicture(picture);
    if (read) {
        const std::string sound = DataFile(program_.ProgramFolder, "camera.wav");
        if (program_.settings.CameraSound == 1 && std::filesystem::exists(sound)) {
            sound_.PlayAsync(sound);
            capture_.Pause(500);
        }
    }
    model_.CaptureArrived(read, picture.width(), picture.height());
    if (!shot.note.empty()) model_.SetGuidance(shot.note, 5);
    PictureArrived();
    if (wasMaximised)
        showMaximized();
    else
        showNormal();
    raise();
    activateWindow();
    LayOut(); // for the state the window comes back in
    selectPic_->setFocus();
}

void MainForm::ShowRightClickMenu() {
    if (!rightClickTop_) {
        // Created the first time and kept for the next.
        rightClickTop_ = new QMenu(Ui("右クリックメニュー"), this);
        const char* captions[] = {"デコード", nullptr, "表示縮小",
                                  "表示拡大", nullptr, "選択範囲を保存"};
        for (int i = 0; i < 6; ++i) {
            if (!captions[i]) {
                rightClickItem_[size_t(i)] = rightClickTop_->addSeparator();
                continue;
            }
            rightClickItem_[size_t(i)] = rightClickTop_->addAction(Ui(captions[i]));
            connect(rightClickItem_[size_t(i)], &QAction::triggered, this,
                    [this, i] { SelectPopupMenu(i); });
        }
    }
    for (int i : {0, 2, 3, 5})
        rightClickItem_[size_t(i)]->setEnabled(model_.RightClickItemEnabled(i));
    // Not exec(): the menu must not hold the event loop.
    rightClickTop_->popup(QCursor::pos());
}

namespace {

constexpr const char* kPictureTooSmall =
    "画像が小さすぎます。縦横とも6ピクセル以上の画像を開いてください。";
constexpr const char* kDroppedPictureUnreadable = "ドロップされた画像を読み取れませんでした。";
constexpr const char* kBeyondNotSaved =
    "設定を zorvik.conf に保存できませんでした。この設定は終了するまで有効です。";

// The open-file dialog's filter: every format Qt reads, then any file.
std::string PictureFileFilter() {
    std::string patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns += (patterns.empty() ? "*." : ";*.") + format.toStdString();
    using namespace std::string_literals;
    return "画像ファイル\0"s + patterns + "\0すべてのファイル\0*\0"s;
}

} // namespace

void MainForm::OpenPicture_Click() {
    std::string path;
    if (fileDialogs_.PickOpenFile(this, path, PictureFileFilter(), "画像ファイルを開く"))
        OpenPictureFile(path);
}

void MainForm::OpenPictureFile(const std::string& path) {
    // Read as the command line reads a file: a bitmap from its own bytes,
    // any other format as a bitmap of the same pixels.
    const LoadedPicture loaded = LoadPictureAsBitmap(path);
    QImage picture;
    if (loaded.error.empty()) {
        QImageReader::setAllocationLimit(kQtAllocationLimitMb);
        picture =
            QImage::fromData(QByteArrayView(reinterpret_cast<const char*>(loaded.bitmap.data()),
                                            qsizetype(loaded.bitmap.size())),
                             "BMP");
    }
    if (picture.isNull()) {
        const std::string reason =
            loaded.error.empty() ? "the bitmap cannot be shown (unsupported)" : loaded.error;
        messages_.ShowMessageOver(
            this,
            Ui("画像ファイルを開けませんでした。\n%1\n（%2）")
                .arg(QString::fromStdString(path), QString::fromStdString(reason))
                .toStdString(),
            kMessageBoxTitle, MessageIcon::Critical);
        return;
    }
    ShowOpenedPicture(picture);
}

bool MainForm::ShowOpenedPicture(const QImage& picture) {
    if (!model_.PictureOpened(picture.width(), picture.height())) {
        messages_.ShowMessageOver(this, kPictureTooSmall, kMessageBoxTitle, MessageIcon::Critical);
        return false;
    }
    PutPicture(picture);
    Render();
    selectPic_->setFocus();
    PictureArrived();
    return true;
}

void MainForm::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    bool usable = data->hasImage();
    for (const QUrl& url : data->urls()) usable = usable || url.isLocalFile();
    if (usable) event->acceptProposedAction();
}

void MainForm::dropEvent(QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    std::vector<std::string> files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
    const DropChoice choice = ChooseDrop(files, data->hasImage());
    if (choice.kind == DropChoice::Kind::Nothing) return;
    const QImage dropped = choice.kind == DropChoice::Kind::Picture
                               ? qvariant_cast<QImage>(data->imageData())
                               : QImage();
    event->acceptProposedAction();
    // After the drop has ended, so that a message does not keep the other
    // program waiting for it.
    QTimer::singleShot(0, this, [this, choice, dropped] {
        if (unloaded_) return;
        activateWindow();
        // Picture data is held to the limits a file is held to.
        const std::string refusal =
            dropped.isNull() ? "" : PictureSizeRefusal(dropped.width(), dropped.height());
        if (choice.kind == DropChoice::Kind::File)
            OpenPictureFile(choice.path);
        else if (!dropped.isNull() && refusal.empty())
            ShowOpenedPicture(dropped);
        else
            messages_.ShowMessageOver(this,
                                      std::string(kDroppedPictureUnreadable) +
                                          (refusal.empty() ? "" : "\n（" + refusal + "）"),
                                      kMessageBoxTitle, MessageIcon::Critical);
    });
}

void MainForm::BringForward() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    QWidget* waiting = QApplication::activeModalWidget();
    if (!waiting) waiting = dialog_;
    if (waiting) {
        waiting->raise();
        waiting->activateWindow();
    }
}

void MainForm::RunStartRequest(const StartRequest& request) {
    using Kind = StartRequest::Kind;
    if (unloaded_) return;
    // A request must not run inside the wait of a dialog or a message.
    const bool waiting = !isEnabled() || QApplication::activeModalWidget();
    const bool capture =
        request.kind == Kind::CaptureWindow || request.kind == Kind::CaptureDesktop;
    // A capture leaves the window where it is, so that the window the user
    // is in stays the active one for a window capture.
    if (waiting || !capture) BringForward();
    if (waiting) return;
    switch (request.kind) {
    case Kind::Open:
        OpenPictureFile(request.path);
        break;
    case Kind::Paste:
        GetClipboard_Click();
        break;
    case Kind::CaptureWindow:
        CaptureScreen(0);
        break;
    case Kind::CaptureDesktop:
        CaptureScreen(1);
        break;
    default:
        break;
    }
}

void MainForm::SetBeyondOption(bool BeyondSettings::*option, bool on) {
    program_.beyond.*option = on;
    if (!SaveBeyondSettings(program_.beyond, SettingsPlaceFor(program_.ProgramFolder)))
        messages_.ShowMessageOver(this, kBeyondNotSaved, kMessageBoxTitle, MessageIcon::Critical);
}

} // namespace zorvik
