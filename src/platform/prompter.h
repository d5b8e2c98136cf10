// Message boxes: one narrow interface the windows talk to, a real implementation with
// Qt's message box and the buttons "Да", "Нет", "Отмена", "ОК", and a scripted one for
// tests. Texts are UTF-8.
#pragma once
#include <deque>
#include <string>
#include <vector>

class QWidget;

namespace rv {

enum class PromptButton : unsigned { None = 0, Yes = 1, No = 2, Cancel = 4, Ok = 8 };

// A set of buttons: PromptButton::Yes | PromptButton::No.
struct PromptButtons {
  unsigned bits = 0;
  constexpr PromptButtons() = default;
  constexpr PromptButtons(PromptButton b) : bits(static_cast<unsigned>(b)) {}
  constexpr bool has(PromptButton b) const { return (bits & static_cast<unsigned>(b)) != 0; }
  constexpr PromptButtons operator|(PromptButton b) const {
    PromptButtons r;
    r.bits = bits | static_cast<unsigned>(b);
    return r;
  }
};
constexpr PromptButtons operator|(PromptButton a, PromptButton b) { return PromptButtons(a) | b; }

class Prompter {
public:
  virtual ~Prompter() = default;
  // A plain message with "ОК".
  virtual void message(const std::string& text) = 0;
  // A failure report with "ОК", styled as an error where the prompter can; a plain message
  // otherwise.
  virtual void error(const std::string& text) { message(text); }
  // A refusal or a caution with "ОК", styled as a warning where the prompter can; a plain
  // message otherwise.
  virtual void warning(const std::string& text) { message(text); }
  // A question; answers which button was chosen. Closing the box without a button gives
  // Cancel when offered, else No, else Ok.
  virtual PromptButton question(const std::string& text, PromptButtons buttons) = 0;
};

// The answer a box closed without choosing stands for.
PromptButton EscapeAnswer(PromptButtons buttons);

// Shows every message once, in order.
void ShowMessages(Prompter& p, const std::vector<std::string>& messages);

// Modal Qt message boxes over the window in use; over the given window when the program has
// none. From its creation on it follows which window is in use (needs the application).
class QtPrompter : public Prompter {
public:
  explicit QtPrompter(QWidget* parent = nullptr);
  void message(const std::string& text) override;
  void error(const std::string& text) override;
  void warning(const std::string& text) override;
  PromptButton question(const std::string& text, PromptButtons buttons) override;

private:
  QWidget* parent_;
};

// For tests: answers from a queue and records every text shown. An answer the buttons do
// not offer, or an empty queue, gives the escape answer.
class ScriptedPrompter : public Prompter {
public:
  void message(const std::string& text) override;
  void error(const std::string& text) override;
  void warning(const std::string& text) override;
  PromptButton question(const std::string& text, PromptButtons buttons) override;

  std::deque<PromptButton> answers;
  std::vector<std::string> messages;   // texts of plain messages
  std::vector<std::string> errors;     // texts of error messages
  std::vector<std::string> warnings;   // texts of warnings
  std::vector<std::string> questions;  // texts of questions
  std::vector<std::string> shown;      // every text above, in the order shown
};

}  // namespace rv
