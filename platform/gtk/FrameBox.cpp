#include "gtk/FrameBox.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace keln::gtk {
namespace {

struct ChildFrame {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const ChildFrame&, const ChildFrame&) = default;
};

struct ResizeWatch {
  std::function<void(int, int)> callback;
  int width = -1;
  int height = -1;
};

GQuark frameQuark() {
  static const GQuark quark = g_quark_from_static_string("keln-frame");
  return quark;
}

GQuark resizeQuark() {
  static const GQuark quark = g_quark_from_static_string("keln-resize");
  return quark;
}

int toPixels(double points) { return static_cast<int>(std::lround(std::isfinite(points) ? points : 0.0)); }

ChildFrame* frameOf(GtkWidget* child) {
  return static_cast<ChildFrame*>(g_object_get_qdata(G_OBJECT(child), frameQuark()));
}

}  // namespace
}  // namespace keln::gtk

extern "C" {

struct KelnFrameBox {
  GtkWidget parent_instance;
};

struct KelnFrameBoxClass {
  GtkWidgetClass parent_class;
};

G_DEFINE_TYPE(KelnFrameBox, keln_frame_box, GTK_TYPE_WIDGET)

static void keln_frame_box_dispose(GObject* object) {
  GtkWidget* child = nullptr;
  while ((child = gtk_widget_get_first_child(GTK_WIDGET(object))) != nullptr) gtk_widget_unparent(child);
  G_OBJECT_CLASS(keln_frame_box_parent_class)->dispose(object);
}

static void keln_frame_box_measure(GtkWidget* widget, GtkOrientation orientation, int, int* minimum, int* natural,
                                   int* minimumBaseline, int* naturalBaseline) {
  int extent = 0;
  for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
       child = gtk_widget_get_next_sibling(child)) {
    if (!gtk_widget_should_layout(child)) continue;
    if (const auto* frame = keln::gtk::frameOf(child)) {
      extent = std::max(extent,
                        orientation == GTK_ORIENTATION_HORIZONTAL ? frame->x + frame->width : frame->y + frame->height);
    }
  }
  *minimum = 0;
  *natural = extent;
  *minimumBaseline = -1;
  *naturalBaseline = -1;
}

static void keln_frame_box_size_allocate(GtkWidget* widget, int width, int height, int) {
  for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
       child = gtk_widget_get_next_sibling(child)) {
    if (!gtk_widget_should_layout(child)) continue;
    keln::gtk::ChildFrame frame;
    if (const auto* stored = keln::gtk::frameOf(child)) frame = *stored;
    int minimumWidth = 0;
    int minimumHeight = 0;
    gtk_widget_measure(child, GTK_ORIENTATION_HORIZONTAL, -1, &minimumWidth, nullptr, nullptr, nullptr);
    gtk_widget_measure(child, GTK_ORIENTATION_VERTICAL, -1, &minimumHeight, nullptr, nullptr, nullptr);
    GtkAllocation allocation{frame.x, frame.y, std::max(frame.width, minimumWidth),
                             std::max(frame.height, minimumHeight)};
    gtk_widget_size_allocate(child, &allocation, -1);
  }
  auto* watch = static_cast<keln::gtk::ResizeWatch*>(g_object_get_qdata(G_OBJECT(widget), keln::gtk::resizeQuark()));
  if (watch != nullptr && (watch->width != width || watch->height != height)) {
    watch->width = width;
    watch->height = height;
    if (watch->callback) watch->callback(width, height);
  }
}

static void keln_frame_box_class_init(KelnFrameBoxClass* klass) {
  G_OBJECT_CLASS(klass)->dispose = keln_frame_box_dispose;
  GtkWidgetClass* widgetClass = GTK_WIDGET_CLASS(klass);
  widgetClass->measure = keln_frame_box_measure;
  widgetClass->size_allocate = keln_frame_box_size_allocate;
  gtk_widget_class_set_css_name(widgetClass, "kelnview");
}

static void keln_frame_box_init(KelnFrameBox*) {}

}  // extern "C"

namespace keln::gtk {

GtkWidget* frameBoxNew() { return GTK_WIDGET(g_object_new(keln_frame_box_get_type(), nullptr)); }

void frameBoxPlace(GtkWidget* box, GtkWidget* child, GtkWidget* previousSibling, const uikit::Rect& frame) {
  const ChildFrame wanted{toPixels(frame.minX()), toPixels(frame.minY()), std::max(0, toPixels(frame.width())),
                          std::max(0, toPixels(frame.height()))};
  bool changed = false;
  if (gtk_widget_get_parent(child) != box) {
    g_object_ref(child);
    if (gtk_widget_get_parent(child) != nullptr) gtk_widget_unparent(child);
    gtk_widget_insert_after(child, box, previousSibling);
    g_object_unref(child);
    changed = true;
  } else if (gtk_widget_get_prev_sibling(child) != previousSibling) {
    gtk_widget_insert_after(child, box, previousSibling);
    changed = true;
  }
  ChildFrame* stored = frameOf(child);
  if (stored == nullptr) {
    g_object_set_qdata_full(G_OBJECT(child), frameQuark(), new ChildFrame(wanted),
                            [](gpointer data) { delete static_cast<ChildFrame*>(data); });
    changed = true;
  } else if (!(*stored == wanted)) {
    *stored = wanted;
    changed = true;
  }
  if (changed) gtk_widget_queue_resize(box);
}

void frameBoxOnResize(GtkWidget* box, std::function<void(int width, int height)> callback) {
  g_object_set_qdata_full(G_OBJECT(box), resizeQuark(), new ResizeWatch{std::move(callback)},
                          [](gpointer data) { delete static_cast<ResizeWatch*>(data); });
}

uikit::Rect frameBoxFrameOf(GtkWidget* child) {
  const ChildFrame* frame = frameOf(child);
  if (frame == nullptr) return {};
  return uikit::Rect(frame->x, frame->y, frame->width, frame->height);
}

}  // namespace keln::gtk
