#include "client/template_check.h"

#include <algorithm>

#include "sheets/excel_workbook.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {

std::vector<TemplateMarker> FindMarkers(std::string_view text) {
  std::vector<TemplateMarker> markers;
  for (size_t at = text.find('['); at != std::string_view::npos; at = text.find('[', at + 1)) {
    const size_t colon = text.find_first_of("[]:", at + 1);
    if (colon == std::string_view::npos || text[colon] != ':' || colon == at + 1) continue;
    size_t close = colon + 1;
    while (close < text.size() && text[close] >= '0' && text[close] <= '9') ++close;
    if (close >= text.size() || text[close] != ']') continue;
    TemplateMarker m;
    m.begin = at;
    m.end = close + 1;
    m.name = std::string(text.substr(at + 1, colon - at - 1));
    m.width = static_cast<size_t>(Atoi(text.substr(colon + 1, close - colon - 1)));
    markers.push_back(std::move(m));
  }
  return markers;
}

std::vector<TemplateProblem> CheckTemplate(std::string_view text,
                                           const std::vector<std::string>& columns,
                                           const std::vector<std::vector<std::string>>& rows,
                                           int first_row) {
  std::vector<TemplateProblem> problems;
  auto column_of = [&columns](std::string_view name) {
    return static_cast<size_t>(std::find(columns.begin(), columns.end(), name) - columns.begin());
  };
  for (const std::string& column : columns) {
    const std::string bare = "[" + column + "]";
    if (text.find(bare) != std::string_view::npos) {
      problems.push_back({Verdict{Msg::kTemplateNoWidth, {bare}, kFieldText, bare}});
    }
  }
  std::string known;
  for (const std::string& column : columns) known += (known.empty() ? "" : ", ") + column;
  std::vector<std::string> checked;
  for (const TemplateMarker& m : FindMarkers(text)) {
    if (std::find(checked.begin(), checked.end(), m.name) != checked.end()) continue;
    checked.push_back(m.name);
    const size_t column = column_of(m.name);
    if (column == columns.size()) {
      problems.push_back(
          {Verdict{Msg::kTemplateUnknownColumn, {m.name, known}, kFieldText, m.name}});
      continue;
    }
    for (size_t r = 0; r < rows.size(); ++r) {
      if (column >= rows[r].size()) continue;
      const std::string value = Utf8ToAnsi(rows[r][column]);
      // The engine's own cut, so what is reported is what the engine sends.
      const std::string cut = ExcelWorkbook::CutToBytes(value, static_cast<int>(m.width));
      if (cut.size() == value.size()) continue;
      const int row = first_row + static_cast<int>(r);
      problems.push_back({Verdict{Msg::kTemplateCut,
                                  {std::to_string(row), m.name, rows[r][column], AnsiToUtf8(cut)},
                                  kFieldText,
                                  rows[r][column],
                                  row},
                          true});
    }
  }
  return problems;
}

}  // namespace parley
