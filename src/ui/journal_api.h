// The page's view of the send journal: the jobs with their times and counts, one job's recipients
// with each one's state (searched by number), the job's recipients as a file to download, and the
// rest of a job sent again (the recipients not sent, and those in doubt when asked).
#ifndef PARLEY_UI_JOURNAL_API_H_
#define PARLEY_UI_JOURNAL_API_H_

#include <filesystem>
#include <optional>
#include <string>

#include "ui/api_reply.h"

namespace parley {

class UiLink;

class JournalApi {
 public:
  // folder: a private folder of parley-ui's, where the engine writes the exports it reads back.
  JournalApi(UiLink& link, std::filesystem::path folder)
      : link_(link), folder_(std::move(folder)) {}

  // The newest jobs (JOBLS): id, started, ended, kind, title, source, callback, reserve (12 digits
  // or empty), total and its states, left out, ending, resend links.
  ApiReply Jobs();
  // One job's recipients (JOBEX to a file read back): id, number (a part of a number to search
  // for), state ("acknowledged", "in doubt", "not sent", "left out" or empty for all); the
  // counts of each state over all of them and at most kShownRecipients matching rows.
  static constexpr size_t kShownRecipients = 500;
  ApiReply Recipients(const ApiFields& fields);
  // The job's recipients as a file: id, format (csv or xlsx). The file's bytes and its name;
  // nullopt with *refused set when the engine refuses.
  struct Download {
    std::string name;
    std::string bytes;
    std::string type;
  };
  std::optional<Download> Export(const ApiFields& fields, ApiReply* refused);
  // Sends the rest of a job again (JOBRS): id, in_doubt ("1" to include those in doubt). The new
  // job's number and how it ended, or the engine's refusal as a verdict.
  ApiReply Resend(const ApiFields& fields);

 private:
  // JOBEX of job id to a new file in the folder; its path, or nullopt with *refused set.
  std::optional<std::filesystem::path> ExportToFile(int64_t id, const std::string& format,
                                                    ApiReply* refused);

  UiLink& link_;
  std::filesystem::path folder_;
};

}  // namespace parley

#endif  // PARLEY_UI_JOURNAL_API_H_
