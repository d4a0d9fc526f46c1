#include "bench/BenchSupport.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>

namespace zu_bench {

namespace {

bool quick = false;

struct FormattedRow {
  std::string benchmark, ours, floor, ratio, target, met;
};

std::mutex tableMutex;
std::vector<FormattedRow>& Table() {
  static std::vector<FormattedRow> table;
  return table;
}

std::string Number(double value) {
  char text[64];
  if (value >= 100)
    snprintf(text, sizeof(text), "%.0f", value);
  else if (value >= 10)
    snprintf(text, sizeof(text), "%.1f", value);
  else
    snprintf(text, sizeof(text), "%.2f", value);
  return text;
}

std::string Ratio(double value) {
  char text[32];
  snprintf(text, sizeof(text), "%.2f", value);
  return text;
}

FormattedRow Format(const Row& row) {
  FormattedRow out;
  out.benchmark = row.benchmark;
  out.ours = Number(row.ours) + " " + row.unit;
  if (row.floor >= 0) {
    const double ratio = row.floor > 0 ? row.ours / row.floor : 0;
    out.floor = Number(row.floor) + " " + row.unit;
    out.ratio = Ratio(ratio);
    out.target = "<= " + Ratio(row.limit) + " x floor";
    out.met = row.floor > 0 && ratio <= row.limit ? "yes" : "no";
  } else {
    out.floor = row.floorNote.empty() ? "-" : row.floorNote;
    out.ratio = "-";
    out.target = "<= " + Number(row.limit) + " " + row.unit;
    out.met = row.ours <= row.limit ? "yes" : "no";
  }
  return out;
}

void PrintTable() {
  std::lock_guard<std::mutex> lock(tableMutex);
  if (Table().empty())
    return;
  std::cout << "\n| Benchmark | Ours | Floor | Ratio | Target | Met |\n"
            << "|---|---|---|---|---|---|\n";
  for (const FormattedRow& row : Table()) {
    std::cout << "| " << row.benchmark << " | " << row.ours << " | " << row.floor << " | "
              << row.ratio << " | " << row.target << " | " << row.met << " |\n";
  }
  std::cout.flush();
}

size_t AppendBody(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

}  // namespace

bool Quick() {
  return quick;
}

double NowMicros() {
  return std::chrono::duration<double, std::micro>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double TimeMicros(const std::function<void()>& work) {
  const double start = NowMicros();
  work();
  return NowMicros() - start;
}

double Median(std::vector<double> samples) {
  if (samples.empty())
    return 0;
  std::sort(samples.begin(), samples.end());
  const size_t middle = samples.size() / 2;
  return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

double Max(const std::vector<double>& samples) {
  return samples.empty() ? 0 : *std::max_element(samples.begin(), samples.end());
}

void Report(const Row& row) {
  const FormattedRow formatted = Format(row);
  {
    std::lock_guard<std::mutex> lock(tableMutex);
    Table().push_back(formatted);
  }
  if (const char* file = std::getenv("ZU_BENCH_TABLE")) {
    std::ofstream out(file, std::ios::app);
    out << formatted.benchmark << '\t' << formatted.ours << '\t' << formatted.floor << '\t'
        << formatted.ratio << '\t' << formatted.target << '\t' << formatted.met << '\n';
  }
}

void Report(benchmark::State& state, const Row& row) {
  state.counters["ours"] = row.ours;
  if (row.floor >= 0) {
    state.counters["floor"] = row.floor;
    state.counters["ratio"] = row.floor > 0 ? row.ours / row.floor : 0;
  }
  state.SetLabel(row.unit);
  Report(row);
}

bool Pairs::Run(int count, const std::function<bool()>& ours, const std::function<bool()>& floor) {
  for (int i = 0; i < count; ++i) {
    bool ok = true;
    const auto measure = [&ok](const std::function<bool()>& step, std::vector<double>& samples) {
      const double start = NowMicros();
      ok = step() && ok;
      samples.push_back(NowMicros() - start);
    };
    if (i % 2 == 0) {
      measure(ours, ours_);
      measure(floor, floor_);
    } else {
      measure(floor, floor_);
      measure(ours, ours_);
    }
    if (!ok)
      return false;
  }
  return true;
}

CurlClient::CurlClient() : handle_(curl_easy_init()) {}

CurlClient::~CurlClient() {
  if (handle_ != nullptr)
    curl_easy_cleanup(static_cast<CURL*>(handle_));
}

const std::string& CurlClient::Get(const std::string& url,
                                   const std::vector<std::string>& headers) {
  CURL* curl = static_cast<CURL*>(handle_);
  body_.clear();
  if (curl == nullptr)
    return body_;
  curl_slist* list = nullptr;
  for (const std::string& header : headers)
    list = curl_slist_append(list, header.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 256L * 1024);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &AppendBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body_);
  const CURLcode result = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(list);
  if (result != CURLE_OK || status != 200)
    body_.clear();
  return body_;
}

TempDir::TempDir(const std::string& base) {
  if (!base.empty()) {
    std::string pattern = base + "/zu_bench_XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
      return;
    }
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "zu_bench_XXXXXX").string();
  const char* made = ::mkdtemp(pattern.data());
  path_ = made != nullptr ? std::string(made) : std::string();
}

TempDir::~TempDir() {
  if (!path_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

int Main(int argc, char** argv, const std::function<void()>& registerBenchmarks) {
  std::vector<char*> arguments;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0)
      quick = true;
    else
      arguments.push_back(argv[i]);
  }
  int count = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
    return 1;
  registerBenchmarks();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintTable();
  // libcurl stays initialised: clients of static objects still clean up after this.
  return 0;
}

}  // namespace zu_bench
