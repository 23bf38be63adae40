#include "support/GtkTestSupport.h"

#include <memory>

namespace keln::testing {

GtkWidget* findNamed(GtkWidget* root, const std::string& name) {
  if (root == nullptr) return nullptr;
  if (name == gtk_widget_get_name(root)) return root;
  for (GtkWidget* child = gtk_widget_get_first_child(root); child != nullptr;
       child = gtk_widget_get_next_sibling(child)) {
    if (GtkWidget* found = findNamed(child, name)) return found;
  }
  return nullptr;
}

GtkWidget* findOfType(GtkWidget* root, GType type) {
  if (root == nullptr) return nullptr;
  if (G_TYPE_CHECK_INSTANCE_TYPE(root, type)) return root;
  for (GtkWidget* child = gtk_widget_get_first_child(root); child != nullptr;
       child = gtk_widget_get_next_sibling(child)) {
    if (GtkWidget* found = findOfType(child, type)) return found;
  }
  return nullptr;
}

bool iterateUntil(const std::function<bool()>& done, std::chrono::milliseconds atMost,
                  const std::function<void()>& afterEachIteration) {
  const auto giveUp = std::chrono::steady_clock::now() + atMost;
  const guint tick = g_timeout_add(
      10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  bool reached = false;
  while (!(reached = done()) && std::chrono::steady_clock::now() < giveUp) {
    g_main_context_iteration(nullptr, TRUE);
    if (afterEachIteration) afterEachIteration();
  }
  g_source_remove(tick);
  return reached;
}

ScriptOutcome evaluateScript(WebKitWebView* view, const std::string& script, const WaitUntil& waitUntil) {
  if (view == nullptr) return {.ended = true, .error = "no page"};
  // Shared with WebKit's callback, which may come after the wait gave up.
  auto outcome = std::make_shared<ScriptOutcome>();
  webkit_web_view_evaluate_javascript(
      view, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        const std::unique_ptr<std::shared_ptr<ScriptOutcome>> outcome(
            static_cast<std::shared_ptr<ScriptOutcome>*>(data));
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
        if (error != nullptr) (*outcome)->error = error->message;
        if (value != nullptr && !jsc_value_is_undefined(value)) {
          char* text = jsc_value_to_string(value);
          (*outcome)->value = text;
          g_free(text);
        }
        g_clear_error(&error);
        g_clear_object(&value);
        (*outcome)->ended = true;
      },
      new std::shared_ptr<ScriptOutcome>(outcome));
  waitUntil([&] { return outcome->ended; });
  return *outcome;
}

}  // namespace keln::testing
