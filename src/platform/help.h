// The program's help: an HTML page of our own beside the executable (help/index.html),
// opened with the desktop's viewer.
#pragma once
#include <string>

namespace rv::platform {

class HelpViewer {
public:
  virtual ~HelpViewer() = default;
  // False when there is no help to show: the help commands are then unavailable.
  virtual bool Available() const = 0;
  virtual void ShowContents() = 0;
  virtual void ShowIndex() = 0;
};

// Opens `file` (by default help/index.html beside the executable) with the desktop.
class DesktopHelp : public HelpViewer {
public:
  explicit DesktopHelp(std::string file = DefaultFile());
  static std::string DefaultFile();
  bool Available() const override;
  void ShowContents() override;
  // The page has no separate index: its list of topics is at its top.
  void ShowIndex() override;

private:
  std::string file_;
};

}  // namespace rv::platform
