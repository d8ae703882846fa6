# Build floors: what each folder of the tree may include besides itself, written once.
# A folder may also include whatever the folders it names may include. The build gives
# every target the include paths of its folder's floor and nothing more, and the layer
# check (cmake/CheckLayers.cmake, run as a test) reads every #include of the tree against
# these lines, so an upward include fails both ways. Where two subsystems need each
# other, the composition root in src/app connects them; never widen a floor for it.
#
# qb_layer(NAME FOLDER [NAMES IT MAY INCLUDE...])

# The platform: never sees src/ or tests/, except the HTML library, a leaf that knows only
# the foundation: the web views read pages with it, as a browser carries its own parser.
qb_layer(foundation platform/foundation)
# Format libraries: leaves that know only the foundation.
qb_layer(html       src/html            foundation)
qb_layer(markdown   src/markdown        foundation)
qb_layer(launcher   platform/launcher)
qb_layer(system     platform/system     foundation launcher)
qb_layer(store      platform/store      foundation)
qb_layer(security   platform/security   system)
qb_layer(uikit      platform/uikit      foundation)
qb_layer(webkit     platform/webkit     uikit html)
# Attributed text read from HTML, on our HTML parser (the platform's own reader stands
# here, above the libraries): the screens that show Markdown use it.
qb_layer(richtext   src/richtext        html markdown uikit)

# The system's subsystems, each on the ones below it.
qb_layer(core       src/core            system)
# The database draws the icons of packages and sources, so it sees the images.
qb_layer(database   src/database        core store uikit)
qb_layer(interface  src/interface       database uikit)
qb_layer(operations src/operations      interface)
qb_layer(account    src/account         interface security)
# The store screens show the outside store's account pages in a web view and find its
# package links with the Markdown library's link detection.
qb_layer(payment    src/payment         account webkit markdown)
qb_layer(browse     src/browse          payment operations markdown richtext)
qb_layer(sources    src/sources         browse)
# The package page and its depictions: the browse floor's cells, the web views, and the
# HTML and Markdown libraries the depictions are read with.
qb_layer(package    src/package         browse webkit html markdown)
qb_layer(app        src/app             sources package payment operations html markdown)

# Tests and benchmarks. A test folder tests/platform/X or tests/src/X may include what X
# may, X itself and the fixtures; only tests and benchmarks see the fixtures.
qb_layer(support    tests/support       app)
qb_layer(e2e        tests/e2e           support)
# The stores played for a person at the terminal (scripts/play-stores).
qb_layer(played     tests/played        support)
qb_layer(bench      bench               support)  # the shared test data, found as the tests find it
