#include "HelpViewer.h"

#include "DataFolder.h"
#include "Language.h"
#include "Platform.h"
#include "QtPlatform.h"

#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPointer>
#include <QScreen>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace zorvik {
namespace {

constexpr double kFontPoints = 9.75;

class HelpWindow final : public QWidget {
  public:
    HelpWindow(Browser& browser, const QUrl& home) : browser_(browser) {
        setObjectName("HelpWindow");
        setAttribute(Qt::WA_DeleteOnClose);
        setAttribute(Qt::WA_QuitOnClose, false); // the main window decides when the program ends
        setFont(JapaneseFont(kFontPoints));
        setWindowTitle(Ui(kHelpCaption));

        auto button = [this](const char* name, const char* text) {
            auto* b = new QToolButton(this);
            b->setObjectName(name);
            b->setText(Ui(text));
            b->setAutoRaise(true);
            return b;
        };
        QToolButton* back = button("HelpBack", "← 戻る");
        QToolButton* forward = button("HelpForward", "進む →");
        QToolButton* contents = button("HelpHome", "目次");
        back->setEnabled(false);
        forward->setEnabled(false);

        view_ = new QTextBrowser(this);
        view_->setObjectName("HelpPage");
        view_->setOpenLinks(false); // every link goes through Follow
        connect(view_, &QTextBrowser::anchorClicked, this,
                [this](const QUrl& link) { Follow(link); });
        connect(view_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
        connect(view_, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
        connect(back, &QToolButton::clicked, view_, &QTextBrowser::backward);
        connect(forward, &QToolButton::clicked, view_, &QTextBrowser::forward);
        connect(contents, &QToolButton::clicked, view_, &QTextBrowser::home);
        connect(view_, &QTextBrowser::sourceChanged, this, [this] {
            const QString title = view_->documentTitle();
            setWindowTitle(title.isEmpty() ? Ui(kHelpCaption) : Ui(kHelpCaption) + " - " + title);
        });

        auto* bar = new QHBoxLayout;
        bar->setContentsMargins(4, 2, 4, 2);
        bar->addWidget(back);
        bar->addWidget(forward);
        bar->addWidget(contents);
        bar->addStretch(1);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addLayout(bar);
        layout->addWidget(view_);

        view_->setSource(home);
    }

    void ShowHome() { view_->home(); }

  private:
    // Pages of the help open here; web and mail addresses in the browser.
    void Follow(const QUrl& link) {
        const QUrl target = view_->source().resolved(link);
        if (target.isLocalFile() || target.scheme().isEmpty())
            view_->setSource(target);
        else
            browser_.OpenUrl(target.toString().toStdString());
    }

    Browser& browser_;
    QTextBrowser* view_;
};

// Over the middle of the caller, within the caller's screen.
void Place(QWidget* window, const QWidget* caller) {
    const QScreen* screen =
        caller && caller->screen() ? caller->screen() : QGuiApplication::primaryScreen();
    QSize size(760, 600);
    if (!screen) {
        window->resize(size);
        return;
    }
    const QRect area = screen->availableGeometry();
    size = size.boundedTo(area.size());
    window->resize(size);
    QPoint centre = caller ? caller->frameGeometry().center() : area.center();
    QRect placed(QPoint(0, 0), size);
    placed.moveCenter(centre);
    placed.moveLeft(std::clamp(placed.left(), area.left(), area.right() + 1 - size.width()));
    placed.moveTop(std::clamp(placed.top(), area.top(), area.bottom() + 1 - size.height()));
    window->move(placed.topLeft());
}

std::string CanonicalPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

} // namespace

struct QtHelpViewer::Entry {
    std::string file;
    QPointer<HelpWindow> window;
};

std::string HelpFilePath(const std::string& programFolder, UiLanguage language) {
    if (language == UiLanguage::English) {
        const std::string english = DataFile(programFolder, kEnglishHelpIndexRelative);
        std::error_code error;
        if (std::filesystem::is_regular_file(english, error)) return english;
    }
    return DataFile(programFolder, kHelpIndexRelative);
}

bool OpenHelp(HelpViewer& viewer, QWidget* caller, const std::string& programFolder,
              UiLanguage language) {
    const std::string path = HelpFilePath(programFolder, language);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    return viewer.DisplayTopic(caller, path);
}

QtHelpViewer::QtHelpViewer(Browser& browser) : browser_(browser) {}

QtHelpViewer::~QtHelpViewer() {
    // The windows call back into browser_; none may outlive this object.
    for (const auto& entry : entries_) delete entry->window.data();
}

bool QtHelpViewer::DisplayTopic(QWidget* caller, const std::string& helpFile) {
    QFile probe(QString::fromStdString(helpFile));
    if (!probe.open(QIODevice::ReadOnly)) return false;
    probe.close();

    // Windows the user closed are gone from the list.
    std::erase_if(entries_, [](const auto& entry) { return !entry->window; });
    const std::string file = CanonicalPath(helpFile);
    HelpWindow* window = nullptr;
    for (const auto& entry : entries_)
        if (entry->file == file && entry->window->isVisible()) window = entry->window;
    if (window) {
        window->ShowHome();
        window->showNormal();
    } else {
        window = new HelpWindow(browser_, QUrl::fromLocalFile(QString::fromStdString(file)));
        Place(window, caller);
        entries_.push_back(std::make_unique<Entry>(Entry{file, window}));
        window->show();
    }
    window->raise();
    window->activateWindow();
    return true;
}

void QtHelpViewer::CloseAll() {
    for (const auto& entry : entries_)
        if (entry->window) entry->window->close();
    entries_.clear();
}

std::vector<QWidget*> QtHelpViewer::Windows() const {
    std::vector<QWidget*> open;
    for (const auto& entry : entries_)
        if (entry->window && entry->window->isVisible()) open.push_back(entry->window);
    return open;
}

} // namespace zorvik
