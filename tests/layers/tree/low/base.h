#pragma once
// A header of the lower layer.
