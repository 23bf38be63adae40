#pragma once

// Public (a host may use it too); the layer's code includes it as its other headers.
#include <keln/platform/PaymentAuthorizationViewController.h>
