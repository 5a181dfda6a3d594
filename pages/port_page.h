#pragma once
#include <optional>
#include <string>

#include "pages/logic/spooler_start.h"
#include "platform/win32/toolkit/dialog_page.h"

namespace oriel {

// Third page: pick or create the port, then Install.
class PortPage : public win32::DialogPage {
 public:
  PortPage();
  // Column-0 text of the row selected at Install; empty before.
  const std::string& ChosenPort() const { return chosenPort_; }
  // Set when Install stopped on an exception and ended the page with -1: its
  // text, empty when it had none.
  const std::optional<std::string>& InstallError() const { return installError_; }
  // Windows ended the session while the installation ran: nothing more is
  // to be shown.
  bool SessionEnded() const { return sessionEnded_; }

 protected:
  bool OnInitDialog() override;
  // Enter with no push button focused would otherwise close the page with 1
  // without installing, and the settings page would report success.
  void OnOK() override {}
  void OnButton(int id) override;
  void OnDpiChanged(UINT dpi) override { SetColumnWidths(dpi); }
  bool OnQueryEndSession() override { return !installing_; }
  void OnEndSession(bool ending) override;

 private:
  void SetColumnWidths(UINT dpi);
  void FillPortList();
  enum class SpoolerOffer { Declined, Started, Failed };
  // Started: listing is the ports asked for after the start.
  SpoolerOffer OfferToStartSpooler(PortListing& listing);
  void ShowStartingSpooler(bool starting);
  void OnCreatePort();
  void OnConfigurePort();
  void OnInstall();

  std::string chosenPort_;
  std::optional<std::string> installError_;
  SpoolerStart* spoolerStart_ = nullptr;  // while one is waited on
  bool installing_ = false;
  bool sessionEnded_ = false;
  win32::ProgressBar progress_;
  win32::ListView portList_;
};

}  // namespace oriel
