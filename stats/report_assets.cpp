#include "stats/report_assets.h"

#include <fmt/format.h>

namespace tallyrig::stats {

const std::string& contentSecurityPolicy() {
  static const std::string policy = fmt::format(
      "default-src 'none'; script-src {} {}; style-src {}; img-src data:; base-uri 'none'; "
      "form-action 'none'",
      kChartJs.hashSource, kChartsScript.hashSource, kReportStyle.hashSource);
  return policy;
}

}  // namespace tallyrig::stats
