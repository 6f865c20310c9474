#pragma once

#include <QDialog>

namespace tarnwell::ui {

class Dialogs;
class HyperLink;

// The product's home page and support address.
inline constexpr const char* kHomePage = "https://tarnwell.example.org/";
inline constexpr const char* kSupportAddress = "support@tarnwell.example.org";

// The About box: product name and version, the maker's notice, and the two links.
class AboutBox : public QDialog {
  Q_OBJECT
 public:
  AboutBox(Dialogs& dialogs, QWidget* parent = nullptr);

  HyperLink* homePage() const { return homePage_; }
  HyperLink* support() const { return support_; }

 private:
  HyperLink* homePage_;
  HyperLink* support_;
};

}  // namespace tarnwell::ui
