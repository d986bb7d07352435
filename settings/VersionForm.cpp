#include "VersionForm.h"

#include "Language.h"
#include "QtPlatform.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

namespace zorvik {
namespace {

constexpr double kFontPoints = 9.75;
const QColor kUrlHoverColour(0, 0, 255);
const QColor kUrlColour(0, 0, 0);

// The logo: a QR-like mark of 21 x 21 modules with three finder patterns,
// timing lines and a fixed scatter of data modules, a magnifying glass over
// one corner, and the name below. Drawn here so the program needs no image
// files.
QPixmap Logo() {
    constexpr int kModules = 21, kModule = 4, kMargin = 6;
    constexpr int kMark = kModules * kModule;
    constexpr int kWidth = kMark + 2 * kMargin, kHeight = kWidth + 18;
    QPixmap pixmap(kWidth, kHeight);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    std::array<std::array<bool, kModules>, kModules> dark{};
    std::array<std::array<bool, kModules>, kModules> fixed{};
    auto finder = [&](int top, int left) {
        for (int r = -1; r <= 7; ++r)
            for (int c = -1; c <= 7; ++c) {
                const int y = top + r, x = left + c;
                if (y < 0 || x < 0 || y >= kModules || x >= kModules) continue;
                const int ring = std::max(std::abs(r - 3), std::abs(c - 3));
                dark[y][x] = ring != 2 && ring <= 3;
                fixed[y][x] = true;
            }
    };
    finder(0, 0), finder(0, kModules - 7), finder(kModules - 7, 0);
    for (int i = 8; i < kModules - 8; ++i) {
        dark[6][i] = dark[i][6] = i % 2 == 0;
        fixed[6][i] = fixed[i][6] = true;
    }
    uint32_t state = 0x5A4F5256; // a fixed seed keeps the mark the same every run
    for (int r = 0; r < kModules; ++r)
        for (int c = 0; c < kModules; ++c) {
            state = state * 1664525u + 1013904223u;
            if (!fixed[r][c]) dark[r][c] = (state >> 28) % 2 == 1;
        }

    const QColor ink(0, 0, 128);
    for (int r = 0; r < kModules; ++r)
        for (int c = 0; c < kModules; ++c)
            if (dark[r][c])
                p.fillRect(kMargin + c * kModule, kMargin + r * kModule, kModule, kModule, ink);

    // The magnifying glass over the bottom-right corner: reading the symbol.
    const QPointF lens(kMargin + kMark * 0.68, kMargin + kMark * 0.68);
    const double radius = kMark * 0.2;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(lens, radius, radius);
    p.setPen(QPen(QColor(0, 90, 200), 4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(lens, radius, radius);
    p.setPen(QPen(QColor(0, 90, 200), 7, Qt::SolidLine, Qt::RoundCap));
    const double reach = radius * 0.72;
    p.drawLine(lens + QPointF(reach, reach), lens + QPointF(reach * 1.9, reach * 1.9));

    QFont name = JapaneseFont(9);
    name.setBold(true);
    p.setFont(name);
    p.setPen(ink);
    p.drawText(QRect(0, kWidth, kWidth, kHeight - kWidth), Qt::AlignCenter, "ZORVIK");
    return pixmap;
}

} // namespace

VersionForm::VersionForm(Browser& browser, std::function<void()> onUnload, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint), browser_(browser),
      onUnload_(std::move(onUnload)) {
    setObjectName("VersionForm");
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false); // the main window decides when the program ends
    setWindowTitle(Ui(kVersionCaption));
    setFont(JapaneseFont(kFontPoints));

    auto* frame1 = new QFrame(this);
    frame1->setObjectName("Frame1");
    frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    auto* image1 = new QLabel(frame1);
    image1->setObjectName("Image1");
    image1->setPixmap(Logo());
    image1->setAlignment(Qt::AlignTop);

    auto* label5 = new QLabel(Ui(kVersionProductLine), frame1);
    label5->setObjectName("Label5");
    label5->setFont(JapaneseFont(11.25));
    auto* label1 = new QLabel(QString::fromUtf8(kVersionNotice), frame1);
    label1->setObjectName("Label1");

    url_ = new QLabel(QString::fromUtf8(kMakerAddress), frame1);
    url_->setObjectName("URL");
    url_->setCursor(Qt::PointingHandCursor);
    url_->setToolTip(QString::fromUtf8(kMakerAddress));
    // Room for the bold form, so the hover changes no layout.
    QFont bold = url_->font();
    bold.setBold(true);
    url_->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(url_->text()) + 4);
    url_->installEventFilter(this);
    SetUrlHover(false);

    auto* texts = new QVBoxLayout;
    texts->addWidget(label5);
    texts->addSpacing(6);
    texts->addWidget(label1);
    texts->addStretch(1);
    texts->addWidget(url_);
    auto* frameLayout = new QHBoxLayout(frame1);
    frameLayout->setContentsMargins(12, 12, 16, 12);
    frameLayout->setSpacing(16);
    frameLayout->addWidget(image1);
    frameLayout->addLayout(texts);

    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("OK");
    ok_->setMinimumWidth(90);
    connect(ok_, &QPushButton::clicked, this, [this] { close(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(frame1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();

    // Load: centred on the screen.
    const QScreen* screen =
        owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - width()) / 2,
             area.top() + (area.height() - height()) / 2);
    }
    ok_->setFocus();
}

void VersionForm::SetUrlHover(bool over) {
    QPalette palette = url_->palette();
    palette.setColor(QPalette::WindowText, over ? kUrlHoverColour : kUrlColour);
    url_->setPalette(palette);
    QFont font = url_->font();
    font.setBold(over);
    url_->setFont(font);
}

bool VersionForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched != url_) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Enter:
        SetUrlHover(true);
        break;
    case QEvent::Leave:
        SetUrlHover(false);
        break;
    case QEvent::MouseButtonPress:
        // Taken here so the release comes back to the label.
        return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            url_->rect().contains(mouse->position().toPoint())) {
            URL_Click();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// Whether a browser opened is not examined: the box closes either way.
void VersionForm::URL_Click() {
    browser_.OpenUrl(kMakerAddress);
    close();
}

void VersionForm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        close();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void VersionForm::showEvent(QShowEvent* event) {
    // The owner's disabling reaches its child windows too; the box itself
    // must stay usable while the main window waits for it.
    if (!isEnabled()) setEnabled(true);
    QWidget::showEvent(event);
}

void VersionForm::closeEvent(QCloseEvent* event) {
    event->accept();
    if (unloaded_) return;
    unloaded_ = true;
    if (onUnload_) onUnload_();
}

} // namespace zorvik
