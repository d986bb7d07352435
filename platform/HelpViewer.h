// The program's help: HTML pages shipped in a folder beside the program (or
// in the data folder of an installed copy) and
// shown in the program's own help window, since this platform has no viewer
// for compiled help files.
#pragma once

#include "Language.h"

#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace zorvik {

class Browser;

// The help file a Windows build keeps beside the program.
inline constexpr const char* kWindowsHelpFile = "ZORVIK.chm";
// The help's first page, relative to the program's folder: the Japanese
// pages in help/, the English ones in a folder of their own.
inline constexpr const char* kHelpIndexRelative = "help/index.html";
inline constexpr const char* kEnglishHelpIndexRelative = "help/en/index.html";
inline constexpr const char* kHelpCaption = "ミルカ ヘルプ";

class HelpViewer {
  public:
    virtual ~HelpViewer() = default;
    // Shows the help file at its first page in a help window for caller.
    // A file already showing has its window brought to the front at that
    // page. False when the file cannot be shown.
    virtual bool DisplayTopic(QWidget* caller, const std::string& helpFile) = 0;
    // Closes every help window DisplayTopic opened.
    virtual void CloseAll() = 0;
};

// The help's first page in language for the program in programFolder (with
// or without its trailing "/"): beside the program, else in the data folder
// of an installed copy (DataFile). The Japanese pages stand in for English
// ones that are missing.
std::string HelpFilePath(const std::string& programFolder,
                         UiLanguage language = UiLanguage::Japanese);

// The help command: shows the help of programFolder in language when its
// first page exists; does nothing, silently, when it is missing. True when
// it showed.
bool OpenHelp(HelpViewer& viewer, QWidget* caller, const std::string& programFolder,
              UiLanguage language = UiLanguageInUse());

// Help windows with a page view and back, forward and contents buttons.
// Links between the pages open in the window; web and mail addresses go to
// browser. The windows never keep the program running by themselves.
class QtHelpViewer final : public HelpViewer {
  public:
    explicit QtHelpViewer(Browser& browser);
    ~QtHelpViewer() override;
    QtHelpViewer(const QtHelpViewer&) = delete;
    QtHelpViewer& operator=(const QtHelpViewer&) = delete;

    bool DisplayTopic(QWidget* caller, const std::string& helpFile) override;
    void CloseAll() override;

    // The help windows open now.
    std::vector<QWidget*> Windows() const;

  private:
    struct Entry;
    Browser& browser_;
    std::vector<std::unique_ptr<Entry>> entries_;
};

} // namespace zorvik
