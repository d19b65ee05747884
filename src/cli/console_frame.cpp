#include "cli/console_frame.h"

#include "state/text_format.h"

namespace pelmora {

std::string framed_error(std::string_view sentence, ErrorLayout layout) {
  std::string text = "\n\nERROR: ";
  text += sentence;
  text += layout == ErrorLayout::kParagraph ? "\n\n" : "\n";
  return text;
}

std::string framed_error(const Error& error) {
  return framed_error(error.message(), error.layout());
}

std::string framed_warning(const Warning& warning) {
  switch (warning.kind) {
    case WarningKind::kSimultaneousPhotons:
      return "\n\nWARNING: " + warning.text + "\n\n";
    case WarningKind::kRoundingResidue:
      return "\nWARNING: " + warning.text + "\n";
    case WarningKind::kBoundarySlices:
      // The advice goes on a line of its own, under the sentence.
      return format_text(
          "\nWARNING: possible boundary artifacts (%d of %d time slices affected).\n"
          "         Enlarge [-min,-max]-interval.\n\n",
          warning.count, warning.total);
    case WarningKind::kNoOverlap:
    case WarningKind::kFewerThreads:
      return "\n\nWARNING: " + warning.text + "\n";
  }
  return "\n\nWARNING: " + warning.text + "\n";
}

std::string framed_warning(std::string_view sentence) {
  std::string text = "\n\nWARNING: ";
  text += sentence;
  text += "\n";
  return text;
}

}  // namespace pelmora
