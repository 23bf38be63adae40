# Reads the dynamic symbols the shipped libraries define (-DSDK=<libKelnSDK.so>,
# -DGTK=<libKelnSDK-Gtk.so>) and fails when the SDK's library hides part of the public API
# or exports internals, or when the GTK front end carries its own copy of what the SDK's
# library holds once per process.

function(defined_symbols out library)
  execute_process(COMMAND nm -DC --defined-only ${library} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "nm could not read ${library}")
  endif()
  set(${out} "${symbols}" PARENT_SCOPE)
endfunction()

# expect(<library> <symbols> <present|absent> <regex>): whether a symbol whose name starts
# with <regex> is defined.
function(expect library symbols presence regex)
  if(symbols MATCHES "(^|\n)[0-9a-f]+ [A-Za-z] ${regex}")
    set(found present)
  else()
    set(found absent)
  endif()
  if(NOT found STREQUAL presence)
    message(SEND_ERROR "${library}: expected '${regex}' ${presence}, found ${found}")
  endif()
endfunction()

defined_symbols(sdk ${SDK})
expect(${SDK} "${sdk}" present "KelnSDKVersionNumber\n")
expect(${SDK} "${sdk}" present "KelnSDKVersionString\n")
expect(${SDK} "${sdk}" present "keln::SDK::startPayment\\(")
expect(${SDK} "${sdk}" present "keln::dispatch::MainQueue::main\\(\\)")
expect(${SDK} "${sdk}" present "keln::uikit::ViewController::presentedViewController\\(\\)")
expect(${SDK} "${sdk}" absent "keln::PaymentCoordinator::")
expect(${SDK} "${sdk}" absent "keln::DefaultNetworkClient::")
expect(${SDK} "${sdk}" absent "keln::http::SessionEngine::")
expect(${SDK} "${sdk}" absent "nlohmann::")

defined_symbols(gtk ${GTK})
expect(${GTK} "${gtk}" present "keln::gtk::initialize\\(\\)")
expect(${GTK} "${gtk}" absent "keln::dispatch::")
expect(${GTK} "${gtk}" absent "keln::uikit::(View|ViewController|Application)::")
expect(${GTK} "${gtk}" absent "keln::webkit::(setWebEngineFactory|WebView::)")
