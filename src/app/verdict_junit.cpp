// JUnit XML through libxml2's xmlTextWriter, as the GPX writer does: it
// escapes and checks what it writes.
#include <libxml/xmlwriter.h>

#include <memory>

#include "app/verdict_report.h"
#include "util/text.h"

namespace {

const xmlChar* Xml(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

struct BufferDeleter {
  void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};
struct WriterDeleter {
  void operator()(xmlTextWriter* writer) const { xmlFreeTextWriter(writer); }
};

// The calls a JUnit document needs; the first failure is kept.
class Document {
 public:
  explicit Document(xmlBuffer* buffer) : writer_(xmlNewTextWriterMemory(buffer, 0)) {
    if (writer_) xmlTextWriterSetIndent(writer_.get(), 1);
  }
  bool Ok() const { return writer_ && ok_; }
  void Begin() { Check(xmlTextWriterStartDocument(writer_.get(), nullptr, "UTF-8", nullptr)); }
  void Finish() { Check(xmlTextWriterEndDocument(writer_.get())); writer_.reset(); }
  void Start(const char* name) { Check(xmlTextWriterStartElement(writer_.get(), Xml(name))); }
  void End() { Check(xmlTextWriterEndElement(writer_.get())); }
  void Attribute(const char* name, const std::string& value) {
    Check(xmlTextWriterWriteAttribute(writer_.get(), Xml(name), Xml(value.c_str())));
  }
  void Text(const std::string& text) { Check(xmlTextWriterWriteString(writer_.get(), Xml(text.c_str()))); }

 private:
  void Check(int result) {
    if (!writer_ || result < 0) ok_ = false;
  }
  std::unique_ptr<xmlTextWriter, WriterDeleter> writer_;
  bool ok_ = true;
};

std::string Seconds(session::Millis ms) { return StringPrintf("%.3f", static_cast<double>(ms) / 1000); }

void WriteRun(Document& doc, const VerdictSetup& setup, const session::RunReport& run) {
  std::size_t failures = 0;
  std::size_t skipped = 0;
  for (const session::StepResult& step : run.steps) {
    failures += !step.passed && !step.skipped ? 1 : 0;
    skipped += step.skipped ? 1 : 0;
  }
  doc.Start("testsuite");
  doc.Attribute("name", run.name);
  doc.Attribute("tests", std::to_string(run.steps.size()));
  doc.Attribute("failures", std::to_string(failures));
  doc.Attribute("errors", "0");
  doc.Attribute("skipped", std::to_string(skipped));
  doc.Attribute("time", Seconds(run.ended - run.started));
  doc.Start("properties");
  const auto property = [&doc](const std::string& name, const std::string& value) {
    doc.Start("property");
    doc.Attribute("name", name);
    doc.Attribute("value", value);
    doc.End();
  };
  property("file", run.path);
  property("platform", setup.listen);
  property("unit_profile", setup.profile);
  for (const auto& [key, value] : setup.expected) property("expected." + key, value);
  for (const auto& [key, value] : run.identity) property("unit." + key, value);
  for (const auto& [key, value] : run.parameters) property("parameter." + key, value);
  doc.End();
  for (const session::StepResult& step : run.steps) {
    doc.Start("testcase");
    doc.Attribute("classname", run.name);
    doc.Attribute("name", StringPrintf("%zu %s", step.index, step.step.c_str()));
    doc.Attribute("time", Seconds(step.ended - step.started));
    if (step.skipped) {
      doc.Start("skipped");
      doc.Attribute("message", step.reason);
      doc.End();
    } else if (!step.passed) {
      doc.Start("failure");
      doc.Attribute("message", step.reason);
      doc.Text(step.reason);
      doc.End();
    }
    if (!step.note.empty()) {
      doc.Start("system-out");
      doc.Text(step.note);
      doc.End();
    }
    doc.End();
  }
  doc.End();
}

}  // namespace

bool VerdictJunit(const VerdictSetup& setup, const std::vector<session::RunReport>& runs,
                  std::string& document, std::string& error) {
  std::unique_ptr<xmlBuffer, BufferDeleter> buffer(xmlBufferCreate());
  if (!buffer) {
    error = "no memory for the XML buffer";
    return false;
  }
  Document doc(buffer.get());
  doc.Begin();
  doc.Start("testsuites");
  doc.Attribute("name", "korvane conformance");
  for (const session::RunReport& run : runs) WriteRun(doc, setup, run);
  doc.End();
  const bool ok = doc.Ok();
  doc.Finish();
  if (!ok) {
    error = "libxml2 could not write the document";
    return false;
  }
  document.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                  static_cast<std::size_t>(xmlBufferLength(buffer.get())));
  return true;
}
