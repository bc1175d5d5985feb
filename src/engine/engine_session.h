// EngineSession: what the engine keeps about its user between commands. One lives as long as the
// engine; a closed UI-link connection does not reset it.
#ifndef PARLEY_ENGINE_ENGINE_SESSION_H_
#define PARLEY_ENGINE_ENGINE_SESSION_H_

#include <string>
#include <utility>

#include "engine/job_progress.h"
#include "engine/recent_number_list.h"

namespace parley {

class EngineSession {
 public:
  // The login id and password (CP949), set by every LOGIN that takes the login path.
  const std::string& login_id() const { return login_id_; }
  const std::string& password() const { return password_; }
  void SetLogin(std::string login_id, std::string password) {
    login_id_ = std::move(login_id);
    password_ = std::move(password);
  }

  // True while a login is active: set by an accepted LOGIN, cleared by a refused one and by a
  // logout (ENDQX 0).
  bool logged_in() const { return logged_in_; }
  void set_logged_in(bool logged_in) { logged_in_ = logged_in; }

  // 1 when the last send check passed; set by the send check of DSEND and ESEND, 0 after a
  // logout or a refused login.
  int send_permission() const { return send_permission_; }
  void set_send_permission(int permission) { send_permission_ = permission; }

  // The workbook chosen by the EXCEL listing, as the UI program named it (UTF-8, unconverted).
  const std::string& workbook_path() const { return workbook_path_; }
  void set_workbook_path(std::string path) { workbook_path_ = std::move(path); }

  // The numbers sent to most recently.
  RecentNumberList& recent_numbers() { return recent_numbers_; }
  const RecentNumberList& recent_numbers() const { return recent_numbers_; }

  // The current or last gateway job; the observer of every job the engine sends.
  JobProgress& job() { return job_; }
  const JobProgress& job() const { return job_; }

 private:
  std::string login_id_;
  std::string password_;
  bool logged_in_ = false;
  int send_permission_ = 0;
  std::string workbook_path_;
  RecentNumberList recent_numbers_;
  JobProgress job_;
};

}  // namespace parley

#endif  // PARLEY_ENGINE_ENGINE_SESSION_H_
