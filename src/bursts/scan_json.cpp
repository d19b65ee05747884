#include "bursts/scan_json.h"

#include <utility>
#include <variant>

#include "base/error.h"
#include "base/printable_text.h"
#include "bursts/setup_text.h"
#include "state/analysis_settings.h"

namespace pelmora {

namespace {

// Each kind's name and fields in JSON.  The reader tries every alternative
// of the variant by its name, so a kind added to it does not compile until
// it has these three functions.
const char* kind_name(const FreeDiffusion&) {
  return "free";
}
const char* kind_name(const GaussianChain&) {
  return "chain";
}
const char* kind_name(const FlatBox&) {
  return "box";
}
const char* kind_name(const TabulatedDensity&) {
  return "table";
}

void write_kind(Json&, const FreeDiffusion&) {}
void write_kind(Json& json, const GaussianChain& chain) {
  json["rms_nm"] = chain.rms;
}
void write_kind(Json& json, const FlatBox& box) {
  json["lower_nm"] = box.lower;
  json["upper_nm"] = box.upper;
}
void write_kind(Json& json, const TabulatedDensity& table) {
  json["r_nm"] = table.r;
  json["density"] = table.density;
}

void read_kind(const Json&, FreeDiffusion&) {}
void read_kind(const Json& json, GaussianChain& chain) {
  chain.rms = json.at("rms_nm").get<double>();
}
void read_kind(const Json& json, FlatBox& box) {
  box.lower = json.at("lower_nm").get<double>();
  box.upper = json.at("upper_nm").get<double>();
}
void read_kind(const Json& json, TabulatedDensity& table) {
  table.r = json.at("r_nm").get<std::vector<double>>();
  table.density = json.at("density").get<std::vector<double>>();
  if (table.r.size() != table.density.size() || table.r.size() < 3) {
    throw std::invalid_argument("the table's distances and densities do not match");
  }
}

Json model_json(const DistanceModel& model) {
  Json json;
  std::visit(
      [&json](const auto& kind) {
        json["kind"] = kind_name(kind);
        write_kind(json, kind);
      },
      model.shape);
  json["text"] = model.text;
  return json;
}

template <typename Kind>
bool read_if_named(const Json& json, const std::string& name, ModelShape& shape) {
  Kind kind;
  if (name != kind_name(kind)) return false;
  read_kind(json, kind);
  shape = std::move(kind);
  return true;
}

template <std::size_t... Kinds>
ModelShape shape_from_json(const Json& json, const std::string& name,
                           std::index_sequence<Kinds...>) {
  ModelShape shape;
  const bool known =
      (read_if_named<std::variant_alternative_t<Kinds, ModelShape>>(json, name, shape) || ...);
  if (!known) throw std::invalid_argument("unknown model kind '" + name + "'");
  return shape;
}

DistanceModel model_from_json(const Json& json) {
  DistanceModel model;
  model.text = json.at("text").get<std::string>();
  model.shape = shape_from_json(json, json.at("kind").get<std::string>(),
                                std::make_index_sequence<std::variant_size_v<ModelShape>>{});
  return model;
}

Json background_json(const BackgroundChoice& choice) {
  switch (choice.mode) {
    case BackgroundChoice::Mode::kOff:
      return Json{{"mode", "off"}};
    case BackgroundChoice::Mode::kAuto:
      return Json{{"mode", "auto"}};
    case BackgroundChoice::Mode::kRates:
      break;
  }
  return Json{
      {"mode", "rates"}, {"donor_hz", choice.donor_hz}, {"acceptor_hz", choice.acceptor_hz}};
}

BackgroundChoice background_from_json(const Json& json) {
  BackgroundChoice choice;
  const std::string mode = json.at("mode").get<std::string>();
  if (mode == "auto") {
    choice.mode = BackgroundChoice::Mode::kAuto;
  } else if (mode == "rates") {
    choice.mode = BackgroundChoice::Mode::kRates;
    choice.donor_hz = json.at("donor_hz").get<double>();
    choice.acceptor_hz = json.at("acceptor_hz").get<double>();
  } else if (mode != "off") {
    throw std::invalid_argument("unknown background mode '" + mode + "'");
  }
  return choice;
}

Json source_json(const BurstSource& source) {
  return std::visit(
      Overloaded{
          [](const MeasurementSource& m) {
            Json json{{"kind", "measurement"},
                      {"path", m.path},
                      {"size_bytes", m.size_bytes},
                      {"description", m.description},
                      {"bursts_from", m.bursts_from},
                      {"table_bursts", m.table_bursts},
                      {"table_fingerprint", m.table_fingerprint}};
            if (!m.photons_crc32.empty()) json["photons_crc32"] = m.photons_crc32;
            json["background_hz"] = nullptr;
            if (m.background) {
              json["background_hz"] = {{"all", m.background->all_hz},
                                       {"donor", m.background->donor_hz},
                                       {"acceptor", m.background->acceptor_hz}};
            }
            return json;
          },
          [](const PhotonFileSource& files) {
            return Json{{"kind", "photon files"}, {"names", files.names}, {"sizes", files.sizes}};
          },
          [](const RecordSource& records) {
            return Json{{"kind", "records"}, {"records", records.records}};
          }},
      source);
}

BurstSource source_from_json(const Json& json) {
  const std::string kind = json.at("kind").get<std::string>();
  if (kind == "measurement") {
    MeasurementSource m;
    m.path = json.at("path").get<std::string>();
    m.size_bytes = json.at("size_bytes").get<std::uint64_t>();
    m.description = json.at("description").get<std::string>();
    m.bursts_from = json.at("bursts_from").get<std::string>();
    m.table_bursts = json.at("table_bursts").get<std::int64_t>();
    m.table_fingerprint = json.at("table_fingerprint").get<std::string>();
    if (json.contains("photons_crc32")) {
      m.photons_crc32 = json.at("photons_crc32").get<std::string>();
    }
    const Json& rates = json.at("background_hz");
    if (!rates.is_null()) {
      m.background = BackgroundRates{rates.at("all").get<double>(), rates.at("donor").get<double>(),
                                     rates.at("acceptor").get<double>()};
    }
    return m;
  }
  if (kind == "photon files") {
    PhotonFileSource files;
    files.names = json.at("names").get<std::vector<std::string>>();
    files.sizes = json.at("sizes").get<std::vector<std::uint64_t>>();
    if (files.names.size() != files.sizes.size()) {
      throw std::invalid_argument("photon files and their sizes differ in number");
    }
    return files;
  }
  if (kind == "records") return RecordSource{json.at("records").get<std::int64_t>()};
  throw std::invalid_argument("unknown source kind '" + kind + "'");
}

}  // namespace

std::string json_reason(const std::exception& error) {
  const std::string text = error.what();
  const std::size_t end = text.rfind("] ");
  // The parser quotes what it last read: the file's bytes, made safe.
  return printable_text(text.rfind("[json.exception", 0) == 0 && end != std::string::npos
                            ? std::string_view(text).substr(end + 2)
                            : std::string_view(text),
                        160);
}

Json request_json(const ScanRequest& r) {
  Json json;
  json["analysis"] = {{"R0_nm", r.analysis.foerster_radius},
                      {"min_nm", r.analysis.min_distance},
                      {"max_nm", r.analysis.max_distance},
                      {"distance_bins", r.analysis.distance_bins}};
  json["D_m2_per_s"] = r.coefficients;
  json["D_range"] = nullptr;
  if (r.coefficient_range) {
    json["D_range"] = {{"min", r.coefficient_range->min},
                       {"max", r.coefficient_range->max},
                       {"runs", r.coefficient_range->runs}};
  }
  Json models = Json::array();
  for (const DistanceModel& model : r.model.models) models.push_back(model_json(model));
  json["model"] = {{"text", r.model.text},
                   {"parameter", r.model.parameter},
                   {"parameter_values", r.model.parameter_values},
                   {"models", models}};
  json["background"] = r.background ? background_json(*r.background) : Json(nullptr);
  json["corrections"] = {{"gamma", r.corrections.gamma},
                         {"leakage", r.corrections.leakage},
                         {"dir_ex", r.corrections.dir_ex},
                         {"beta", r.corrections.beta}};
  return json;
}

ScanRequest request_from_json(const Json& json, const std::string& where) {
  try {
    ScanRequest r;
    const Json& analysis = json.at("analysis");
    AnalysisOptions options;
    options.foerster_radius = analysis.at("R0_nm").get<double>();
    options.min_distance = analysis.at("min_nm").get<double>();
    options.max_distance = analysis.at("max_nm").get<double>();
    options.distance_bins = analysis.at("distance_bins").get<int>();
    r.coefficients = json.at("D_m2_per_s").get<std::vector<double>>();
    if (r.coefficients.empty()) throw std::invalid_argument("it names no coefficients");
    const Json& range = json.at("D_range");
    if (!range.is_null()) {
      r.coefficient_range =
          CoefficientRange{range.at("min").get<double>(), range.at("max").get<double>(),
                           range.at("runs").get<int>()};
    }
    const Json& model = json.at("model");
    r.model.text = model.at("text").get<std::string>();
    r.model.parameter = model.at("parameter").get<std::string>();
    r.model.parameter_values = model.at("parameter_values").get<std::vector<double>>();
    r.model.models.clear();
    for (const Json& one : model.at("models")) r.model.models.push_back(model_from_json(one));
    if (r.model.models.empty() ||
        (r.model.scanned() && r.model.models.size() != r.model.parameter_values.size())) {
      throw std::invalid_argument("the model's values do not match its models");
    }
    // A confined model's grid is its own support and takes fewer points.
    if (r.model.confined()) options.fewest_distance_bins = kMinConfinedBins;
    r.analysis = derive_settings(options);
    const Json& background = json.at("background");
    if (!background.is_null()) r.background = background_from_json(background);
    const Json& c = json.at("corrections");
    r.corrections = FretCorrections{c.at("gamma").get<double>(), c.at("leakage").get<double>(),
                                    c.at("dir_ex").get<double>(), c.at("beta").get<double>()};
    return r;
  } catch (const Error& error) {
    throw Error(ErrorKind::kInput, where + ": " + error.message());
  } catch (const std::exception& error) {
    throw Error(ErrorKind::kInput,
                where + ": the description of the scan is damaged (" + json_reason(error) + ").");
  }
}

Json setup_json(const ScanSetup& setup) {
  return Json{{"source", source_json(setup.source)}, {"request", request_json(setup.request)}};
}

ScanSetup setup_from_json(const Json& json, const std::string& where) {
  ScanSetup setup;
  try {
    setup.source = source_from_json(json.at("source"));
    setup.request = request_from_json(json.at("request"), where);
  } catch (const Error&) {
    throw;
  } catch (const std::exception& error) {
    throw Error(ErrorKind::kInput,
                where + ": the description of the scan is damaged (" + json_reason(error) + ").");
  }
  return setup;
}

namespace {

Json parsed(std::string_view text, const std::string& where) {
  try {
    return Json::parse(text);
  } catch (const std::exception& error) {
    throw Error(ErrorKind::kInput, where + ": not JSON (" + json_reason(error) + ").");
  }
}

}  // namespace

std::string request_text(const ScanRequest& request) {
  return request_json(request).dump();
}

ScanRequest request_from_text(std::string_view text, const std::string& where) {
  return request_from_json(parsed(text, where), where);
}

std::string source_text(const BurstSource& source) {
  return source_json(source).dump();
}

BurstSource source_from_text(std::string_view text, const std::string& where) {
  const Json json = parsed(text, where);
  try {
    return source_from_json(json);
  } catch (const std::exception& error) {
    throw Error(ErrorKind::kInput,
                where + ": the description of the bursts is damaged (" + json_reason(error) + ").");
  }
}

}  // namespace pelmora
