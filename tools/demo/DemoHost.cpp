#include "DemoHost.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

#include <keln/uikit/Application.h>

// The one seam the demo takes past the public headers: the SDK made on any gateway root
// (the embedded sandbox's, or --gateway's).
#include "core/SDKConfigFactory.h"
#include "sdk/SDKAccess.h"

namespace keln::demo {
namespace {

using namespace std::chrono_literals;
using dispatch::MainQueue;

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

// Drawn on screen and laid out: what a person can see and click.
bool onScreen(GtkWidget* widget) {
  return widget != nullptr && gtk_widget_is_drawable(widget) && gtk_widget_get_width(widget) > 0;
}

std::string amountText(double amount) {
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, amount, std::chars_format::fixed, 2);
  return error == std::errc() ? std::string(buffer, end) : "?";
}

// Set by GLib once a span of real time has passed, so that a loop sleeping in GLib wakes
// for it.
class RealTimeLimit {
 public:
  explicit RealTimeLimit(std::chrono::milliseconds limit)
      : timer_(g_timeout_add_full(
            G_PRIORITY_DEFAULT, static_cast<guint>(std::clamp<std::int64_t>(limit.count(), 0, G_MAXUINT)),
            [](gpointer passed) {
              *static_cast<bool*>(passed) = true;
              return G_SOURCE_REMOVE;
            },
            &passed_, nullptr)) {}
  ~RealTimeLimit() {
    if (!passed_) g_source_remove(timer_);
  }
  RealTimeLimit(const RealTimeLimit&) = delete;
  RealTimeLimit& operator=(const RealTimeLimit&) = delete;

  bool passed() const { return passed_; }

 private:
  bool passed_ = false;
  guint timer_;
};

// Runs GLib's default context until `done` or `limit` of real time, without narrating.
// Everything `done` looks at changes in what GLib dispatches.
bool pump(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const RealTimeLimit deadline(limit);
  bool reached = false;
  while (!(reached = done()) && !deadline.passed()) g_main_context_iteration(nullptr, TRUE);
  return reached;
}

std::string cardTitle(GtkWidget* card) {
  GtkWidget* label = findOfType(card, GTK_TYPE_LABEL);
  return label != nullptr ? gtk_label_get_text(GTK_LABEL(label)) : "";
}

}  // namespace

DemoHost::DemoHost(const DemoOptions& options, const std::string& gatewayRoot, std::string snapshotFolder,
                   Narrator& narrator, std::shared_ptr<FastClock> fastClock)
    : options_(options),
      root_(gatewayRoot),
      snapshotFolder_(std::move(snapshotFolder)),
      narrator_(narrator),
      fastClock_(std::move(fastClock)),
      wallet_(std::make_shared<passkit::Wallet>()) {
  // A device with a Visa card in its wallet; it can pay with it where the route needs it.
  wallet_->setCardNetworks({passkit::PaymentNetwork::visa()});
  wallet_->setCanMakePayments(options.route == Route::wallet || options.route == Route::walletCancel ||
                              options.route == Route::menuWeb);
  passkit::Wallet::install(wallet_);
  // What the wallet sheet answers when it opens, whoever opened it.
  setWalletAnswer(options.route != Route::walletCancel);
  const bool person = !options.autoPlay;
  uikit::Application::shared().setURLOpener([this, person](const std::string& url) {
    narrator_.say("open-url", "The system opens " + url, {{"url", url}});
    if (person) g_app_info_launch_default_for_uri(url.c_str(), nullptr, nullptr);
    return true;
  });

  hostWindow_ = GTK_WINDOW(gtk_window_new());
  g_object_add_weak_pointer(G_OBJECT(hostWindow_), reinterpret_cast<gpointer*>(&hostWindow_));
  gtk_window_set_title(hostWindow_, "Demo shop");
  gtk_window_set_default_size(hostWindow_, 420, 640);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 16);
  gtk_widget_set_valign(box, GTK_ALIGN_CENTER);
  gtk_widget_set_margin_start(box, 24);
  gtk_widget_set_margin_end(box, 24);
  GtkWidget* heading = gtk_label_new(nullptr);
  gtk_label_set_markup(GTK_LABEL(heading), "<big><b>Your order</b></big>");
  gtk_box_append(GTK_BOX(box), heading);
  gtk_box_append(GTK_BOX(box), gtk_label_new("Two coffees and a cake"));
  const std::string price = amountText(options.amount) + " " + options.currency;
  GtkWidget* total = gtk_label_new(nullptr);
  char* markup = g_markup_printf_escaped("<big>Total: <b>%s</b></big>", price.c_str());
  gtk_label_set_markup(GTK_LABEL(total), markup);
  g_free(markup);
  gtk_box_append(GTK_BOX(box), total);
  payButton_ = gtk_button_new_with_label(("Pay " + price).c_str());
  gtk_widget_set_name(payButton_, "demo-pay-button");
  gtk_widget_add_css_class(payButton_, "suggested-action");
  g_signal_connect_swapped(payButton_, "clicked", G_CALLBACK(+[](DemoHost* host) { host->startPayment(); }), this);
  gtk_box_append(GTK_BOX(box), payButton_);
  outcomeLabel_ = gtk_label_new(nullptr);
  gtk_widget_set_name(outcomeLabel_, "demo-outcome");
  gtk_label_set_wrap(GTK_LABEL(outcomeLabel_), TRUE);
  gtk_label_set_justify(GTK_LABEL(outcomeLabel_), GTK_JUSTIFY_CENTER);
  gtk_widget_set_visible(outcomeLabel_, FALSE);
  gtk_box_append(GTK_BOX(box), outcomeLabel_);
  gtk_window_set_child(hostWindow_, box);

  screen_ = gtk::WindowViewController::make(hostWindow_);
  sdk_ = SDKAccess::make(SDKConfigFactory::withRoot(root_, options.clientId, options.token));
}

DemoHost::~DemoHost() {
  if (watchedPage_ != nullptr) {
    g_signal_handlers_disconnect_by_data(watchedPage_, this);
    g_object_remove_weak_pointer(G_OBJECT(watchedPage_), reinterpret_cast<gpointer*>(&watchedPage_));
  }
  if (payButton_ != nullptr && hostWindow_ != nullptr) g_signal_handlers_disconnect_by_data(payButton_, this);
  sdk_.reset();
  screen_.reset();
  if (hostWindow_ != nullptr) gtk_window_destroy(hostWindow_);
  passkit::Wallet::install(nullptr);
  uikit::Application::shared().setURLOpener(nullptr);
  pump([] { return false; }, 50ms);
}

void DemoHost::show(const std::string& transactionID) {
  transactionID_ = transactionID;
  gtk_window_present(hostWindow_);
  pump([&] { return hostWindow_ == nullptr || onScreen(payButton_); }, 10s);
  narrator_.say("screen-host", "Host window shown: the order, " + amountText(options_.amount) + " " +
                                   options_.currency + ", and a Pay button");
  snapshot("host");
}

void DemoHost::startPayment() {
  if (started_) return;
  started_ = MainQueue::main().clock()->now();
  gtk_widget_set_sensitive(payButton_, FALSE);
  narrator_.say("start",
                "Host starts a payment: transaction " + transactionID_ + ", " + amountText(options_.amount) + " " +
                    options_.currency,
                {{"transactionID", transactionID_}, {"amount", options_.amount}, {"currency", options_.currency}});
  std::vector<PaymentMethod> methods;
  for (const auto& method : options_.methods) {
    if (auto known = fromRawValue<PaymentMethod>(method)) methods.push_back(*known);
  }
  TransactionParamsSDK params(1234, "Demo shop order", transactionID_, "Two coffees and a cake", options_.amount,
                              options_.currency, methods, "Jane Doe", "jane@example.com", "https://shop.example/cart",
                              std::nullopt, std::nullopt, std::nullopt, std::string("merchant.example.demo"));
  sdk_->startPayment(screen_, params, [this](Result<TransactionResultSDK> result) {
    outcome_ = std::move(result);
    showOutcome();
  });
}

void DemoHost::showOutcome() {
  if (hostWindow_ == nullptr || !outcome_) return;
  std::string text;
  bool paid = false;
  if (!outcome_->isSuccess()) {
    text = "Payment ended: " + outcome_->error()->localizedDescription();
  } else {
    const auto& value = outcome_->value();
    paid = value.isSuccess();
    text = paid ? "Paid" : "Payment not completed";
    if (value.transactionID()) text += ": transaction " + *value.transactionID();
    if (value.paymentStatus()) text += ", status " + rawValue(*value.paymentStatus());
  }
  // The demo takes one payment: the Pay button stays off.
  char* markup = g_markup_printf_escaped("<big><span foreground=\"%s\"><b>%s</b></span></big>",
                                         paid ? "#1a7f37" : "#b3261e", text.c_str());
  gtk_label_set_markup(GTK_LABEL(outcomeLabel_), markup);
  g_free(markup);
  gtk_widget_set_visible(outcomeLabel_, TRUE);
  narrator_.say("screen-host", "Host window shows the outcome: " + text, {{"outcome", text}});
}

bool DemoHost::waitFor(const std::function<bool()>& condition, std::chrono::seconds limit) {
  const RealTimeLimit deadline(limit);
  bool reached = false;
  // A closed host window ends the wait only before the payment: a started one still ends
  // with its result. Everything the conditions look at changes in what GLib dispatches
  // (GTK, WebKit, the main queue's tasks), so the loop sleeps in GLib between changes.
  while (!(reached = condition()) && (hostWindow_ != nullptr || started_) && !deadline.passed()) {
    skipIdleWait();
    g_main_context_iteration(nullptr, TRUE);
    observe();
  }
  return reached;
}

void DemoHost::skipIdleWait() {
  if (!fastClock_ || !started_ || outcome_) return;
  // Only a delayed task waits (the SDK's pause between status queries, or before a retry):
  // nothing the network or WebKit is doing is measured on the queue's clock.
  const std::optional<dispatch::Duration> wait = MainQueue::main().timeUntilNextTask();
  if (!wait || g_main_context_pending(nullptr)) return;
  // The I/O source's deadlines count too, and may come first: the skip then stops short of
  // the task, never past it.
  if (*wait > dispatch::Duration::zero()) fastClock_->skip(*wait);
}

bool DemoHost::checkoutOpen() const { return screen_->presentedWindow() != nullptr; }

GtkWidget* DemoHost::checkoutWidget(const std::string& name) const {
  return findNamed(GTK_WIDGET(screen_->presentedWindow()), name);
}

WebKitWebView* DemoHost::pageView() const {
  GtkWidget* view = findOfType(checkoutWidget(gtk::webViewWidgetName), WEBKIT_TYPE_WEB_VIEW);
  return view != nullptr ? WEBKIT_WEB_VIEW(view) : nullptr;
}

double DemoHost::secondsSinceStart() const {
  return started_ ? std::chrono::duration<double>(MainQueue::main().clock()->now() - *started_).count() : 0.0;
}

void DemoHost::observe() {
  if (!checkoutOpen()) {
    if (checkoutTold_) {
      checkoutTold_ = menuTold_ = backButtonTold_ = false;
      narrator_.say("screen", "Checkout window closed; the host's window is back");
    }
    return;
  }
  if (!checkoutTold_) {
    checkoutTold_ = true;
    narrator_.say("screen", "Checkout window opened over the host's window (modal, its size); loading");
  }

  const bool menuOnScreen = onScreen(checkoutWidget(gtk::cardWidgetName(0)));
  if (menuOnScreen && !menuTold_) {
    menuTold_ = true;
    std::vector<std::string> titles;
    for (std::int64_t item = 0;; ++item) {
      GtkWidget* card = checkoutWidget(gtk::cardWidgetName(item));
      if (!onScreen(card)) break;
      titles.push_back(cardTitle(card));
    }
    std::string text = "Screen: menu with " + std::to_string(titles.size()) + " entries:";
    for (const auto& title : titles) text += " [" + title + "]";
    narrator_.say("screen-menu", text, {{"entries", titles}});
    snapshot("menu");
  } else if (!menuOnScreen) {
    menuTold_ = false;
  }

  const bool back = onScreen(checkoutWidget(gtk::backButtonWidgetName));
  if (back && !backButtonTold_) narrator_.say("screen", "The header bar's button is now the back chevron");
  backButtonTold_ = back;

  if (WebKitWebView* page = pageView(); page != nullptr && page != watchedPage_) watchPage(page);
  if (pageFinishedPending_ && watchedPage_ != nullptr) {
    pageFinishedPending_ = false;
    // The first page is the checkout's own, which posts its form to the gateway at once.
    if (pagesLoaded_ >= 2 && !gatewayPageTold_) {
      snapshot("form");
      gatewayPageTold_ = true;
    }
  }
}

void DemoHost::watchPage(WebKitWebView* view) {
  if (watchedPage_ != nullptr) {
    g_signal_handlers_disconnect_by_data(watchedPage_, this);
    g_object_remove_weak_pointer(G_OBJECT(watchedPage_), reinterpret_cast<gpointer*>(&watchedPage_));
  }
  watchedPage_ = view;
  g_object_add_weak_pointer(G_OBJECT(view), reinterpret_cast<gpointer*>(&watchedPage_));
  g_signal_connect_swapped(view, "load-changed",
                           G_CALLBACK(+[](DemoHost* host, WebKitLoadEvent event, WebKitWebView* page) {
                             if (event == WEBKIT_LOAD_FINISHED) host->pageFinished(page);
                           }),
                           this);
  g_signal_connect_swapped(
      view, "load-failed", G_CALLBACK(+[](DemoHost* host, WebKitLoadEvent, const char* uri, GError* error) -> gboolean {
        host->narrator_.say("page-failed", std::string("WebKit could not load ") + uri + ": " + error->message,
                            {{"url", uri}, {"message", error->message}});
        return FALSE;
      }),
      this);
}

void DemoHost::pageFinished(WebKitWebView* view) {
  ++pagesLoaded_;
  const char* uri = webkit_web_view_get_uri(view);
  const char* title = webkit_web_view_get_title(view);
  const double seconds = secondsSinceStart();
  char since[32];
  std::snprintf(since, sizeof since, "%.2f s", seconds);
  nlohmann::json details = {{"url", uri != nullptr ? uri : ""}, {"sinceStart", seconds}, {"load", pagesLoaded_}};
  if (pagesLoaded_ == 1) {
    narrator_.say("page-loaded",
                  std::string("Page loaded: the checkout's own page (") + since +
                      " after startPayment); its script posts the form to the gateway",
                  details);
  } else {
    std::string text = "Page loaded: " + std::string(uri != nullptr ? uri : "?");
    if (title != nullptr && *title != '\0') text += " \"" + std::string(title) + "\"";
    text += std::string(" (") + since + " after startPayment)";
    if (pagesLoaded_ == 2) text += "; the gateway's form is on screen";
    narrator_.say("page-loaded", text, details);
  }
  pageFinishedPending_ = true;
}

bool DemoHost::click(GtkWidget* widget, const std::string& what) {
  if (widget == nullptr || !waitFor([&] { return onScreen(widget); }, 10s)) return false;
  narrator_.say("user", "User clicks " + what);
  return gtk_widget_activate(widget);
}

bool DemoHost::clickPay() { return click(payButton_, "the host's Pay button"); }

bool DemoHost::clickCard(std::int64_t item) {
  GtkWidget* card = checkoutWidget(gtk::cardWidgetName(item));
  return click(card, "the menu's card \"" + cardTitle(card) + "\"");
}

bool DemoHost::clickCloseButton() { return click(checkoutWidget(gtk::closeButtonWidgetName), "the close button"); }

bool DemoHost::actInPage(const std::string& what, const std::string& script) {
  if (watchedPage_ == nullptr) return false;
  narrator_.say("user", "User " + what);
  struct Outcome {
    bool done = false;
    std::string error;
  };
  auto outcome = std::make_shared<Outcome>();
  webkit_web_view_evaluate_javascript(
      watchedPage_, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* view, GAsyncResult* result, gpointer data) {
        std::unique_ptr<std::shared_ptr<Outcome>> outcome(static_cast<std::shared_ptr<Outcome>*>(data));
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
        if (error != nullptr) (*outcome)->error = error->message;
        g_clear_error(&error);
        g_clear_object(&value);
        (*outcome)->done = true;
      },
      new std::shared_ptr<Outcome>(outcome));
  if (!waitFor([&] { return outcome->done; }, 10s)) return false;
  if (!outcome->error.empty()) narrator_.say("page-script", "The page refused it: " + outcome->error);
  return outcome->error.empty();
}

void DemoHost::setWalletAnswer(bool authorize) {
  wallet_->setUserAction(authorize ? passkit::Wallet::UserAction::authorize(R"({"version":"EC_v1","data":"demo"})")
                                   : passkit::Wallet::UserAction::cancel());
}

void DemoHost::snapshot(const std::string& name) {
  GtkWindow* shown = checkoutOpen() ? screen_->presentedWindow() : hostWindow_;
  if (shown == nullptr) return;
  // Held while the loop runs below: the SDK may close the checkout's window meanwhile.
  std::unique_ptr<GtkWindow, decltype(&g_object_unref)> held(GTK_WINDOW(g_object_ref(shown)), g_object_unref);
  GtkWindow* window = held.get();
  // Lets the last changes reach the screen.
  pump([] { return false; }, 200ms);
  const int width = gtk_widget_get_width(GTK_WIDGET(window));
  const int height = gtk_widget_get_height(GTK_WIDGET(window));
  if (width <= 0 || height <= 0 || !gtk_widget_get_mapped(GTK_WIDGET(window))) return;

  GdkPaintable* paintable = gtk_widget_paintable_new(GTK_WIDGET(window));
  GtkSnapshot* drawing = gtk_snapshot_new();
  gdk_paintable_snapshot(paintable, GDK_SNAPSHOT(drawing), width, height);
  g_object_unref(paintable);

  // GTK leaves the page's area blank (WebKit's process draws it): WebKit's own picture of
  // the page goes into the web view's frame.
  WebKitWebView* page = checkoutOpen() ? pageView() : nullptr;
  graphene_rect_t bounds;
  if (page != nullptr && onScreen(GTK_WIDGET(page)) &&
      gtk_widget_compute_bounds(GTK_WIDGET(page), GTK_WIDGET(window), &bounds)) {
    struct Taken {
      bool done = false;
      GdkTexture* texture = nullptr;
    };
    auto taken = std::make_shared<Taken>();
    webkit_web_view_get_snapshot(
        page, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* view, GAsyncResult* result, gpointer data) {
          std::unique_ptr<std::shared_ptr<Taken>> taken(static_cast<std::shared_ptr<Taken>*>(data));
          (*taken)->texture = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
          (*taken)->done = true;
        },
        new std::shared_ptr<Taken>(taken));
    pump([&] { return taken->done; }, 10s);
    if (taken->texture != nullptr) {
      gtk_snapshot_append_texture(drawing, taken->texture, &bounds);
      g_object_unref(taken->texture);
    }
  }

  GskRenderNode* node = gtk_snapshot_free_to_node(drawing);
  GskRenderer* renderer =
      gtk_widget_get_realized(GTK_WIDGET(window)) ? gtk_native_get_renderer(GTK_NATIVE(window)) : nullptr;
  if (node == nullptr || renderer == nullptr) {
    if (node != nullptr) gsk_render_node_unref(node);
    return;
  }
  graphene_rect_t viewport;
  graphene_rect_init(&viewport, 0, 0, static_cast<float>(width), static_cast<float>(height));
  GdkTexture* picture = gsk_renderer_render_texture(renderer, node, &viewport);
  gsk_render_node_unref(node);
  const std::string path = snapshotFolder_ + "/" + std::to_string(++snapshotCount_) + "-" + name + ".png";
  const bool saved = picture != nullptr && gdk_texture_save_to_png(picture, path.c_str());
  if (picture != nullptr) g_object_unref(picture);
  if (saved) {
    narrator_.say("snapshot", "Picture of the " + name + " screen: " + path, {{"screen", name}, {"path", path}});
  } else {
    narrator_.say("snapshot", "Could not save the picture of the " + name + " screen to " + path,
                  {{"screen", name}, {"path", path}, {"saved", false}});
  }
}

}  // namespace keln::demo
