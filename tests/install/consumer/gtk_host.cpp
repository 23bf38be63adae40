// A GTK host built against the installed GTK component: it opens its own window, presents
// the checkout from it and waits for the payment's one result. Its token is empty, so the
// SDK ends the payment before sending anything: the checkout window opens, then closes,
// then the completion runs. Exits 0 when that happened in that order.

#include <keln/KelnSDK.h>
#include <keln/gtk/WindowViewController.h>

#include <iostream>
#include <optional>
#include <string>

int main() {
  if (!keln::gtk::initialize()) {
    std::cerr << "no display\n";
    return 1;
  }
  GtkWindow* window = GTK_WINDOW(gtk_window_new());
  gtk_window_set_default_size(window, 480, 640);
  gtk_window_present(window);
  auto host = keln::gtk::WindowViewController::make(window);

  keln::SDK sdk("consumer-client", "", keln::EnvironmentSDK::quality);
  keln::TransactionParamsSDK params(1, std::nullopt, "order-1", "Consumer order", 10.0, "PLN",
                                    {keln::PaymentMethod::card}, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                    std::nullopt, std::nullopt, std::nullopt);
  std::optional<std::string> answer;
  bool closedFirst = false;
  sdk.startPayment(host, params, [&](keln::Result<keln::TransactionResultSDK> result) {
    closedFirst = host->presentedWindow() == nullptr;
    answer = result.isFailure() ? result.error()->localizedDescription() : "success";
  });
  const bool opened = host->presentedWindow() != nullptr;

  // The host's own loop: GLib runs the SDK's main queue.
  const guint limit = g_timeout_add_seconds(
      10, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr);
  bool timedOut = false;
  while (!answer && !timedOut) {
    g_main_context_iteration(nullptr, TRUE);
    timedOut = g_main_context_find_source_by_id(nullptr, limit) == nullptr;
  }
  if (!timedOut) g_source_remove(limit);
  gtk_window_destroy(window);

  std::cout << "checkout window opened: " << (opened ? "yes" : "no") << "\n"
            << "closed before the completion: " << (closedFirst ? "yes" : "no") << "\n"
            << "payment: " << answer.value_or("(none)") << "\n";
  return opened && closedFirst && answer == "Incorrect token" ? 0 : 1;
}
