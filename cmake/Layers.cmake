# Build floors: the edges of the tree, written once. Each line names a folder and the
# layers its files may include, and nothing else: not "everything below", but what that
# subsystem uses. The build gives every target the include paths of the layers it names
# and of theirs (a header includes its own), and the layer check (cmake/CheckLayers.cmake,
# run as a test) reads every #include of the tree against these lines, so an include of
# a layer above fails the build and the check, and one of a layer below that the line
# does not name fails the check. A folder that needs another layer adds it here, on its
# own line, where a reviewer sees it. Where two subsystems need each other, the
# composition root in src/app connects them (and screens open each other through
# interface/KVScreens); never add an upward edge for it.
#
# qb_layer(NAME FOLDER [LAYERS ITS FILES MAY INCLUDE...])   (each named above it)

# The platform: never sees src/ or tests/, except the HTML library, a leaf that knows only
# the foundation: the web views read pages with it, as a browser carries its own parser.
qb_layer(foundation platform/foundation)
# Format libraries: leaves that know only the foundation.
qb_layer(html       src/html            foundation)
qb_layer(markdown   src/markdown        foundation)
qb_layer(launcher   platform/launcher)
qb_layer(system     platform/system     foundation launcher)
qb_layer(store      platform/store      foundation)
qb_layer(security   platform/security   foundation system)
qb_layer(uikit      platform/uikit      foundation)
qb_layer(webkit     platform/webkit     foundation uikit html)
# The view tree drawn with Cairo and Pango: it reads the views and draws nothing else.
qb_layer(render     platform/render     foundation uikit webkit)
# Attributed text read from HTML, on our HTML parser (the platform's own reader stands
# here, above the libraries): the screens that show Markdown use it.
qb_layer(richtext   src/richtext        foundation html markdown uikit)

# The system's subsystems.
qb_layer(core       src/core            foundation system)
# The database draws the icons of packages and sources, so it sees the images.
qb_layer(database   src/database        foundation system store uikit core)
# The frame every screen stands on, and the navigation between screens.
qb_layer(interface  src/interface       foundation system store uikit core database)
# The APT layer runs the package tools through the launcher.
qb_layer(operations src/operations      foundation launcher system store uikit core database interface)
qb_layer(account    src/account         foundation system store security uikit core database interface)
# The store screens show the outside store's account pages in a web view and find its
# package links with the Markdown library's link detection.
qb_layer(payment    src/payment         foundation system store security uikit webkit markdown core database
                                        interface account)
# The browse screens read the vendor's lists (account), a source's purchases (payment)
# and Markdown descriptions as attributed text.
qb_layer(browse     src/browse          foundation system store uikit markdown richtext core database interface
                                        account payment)
# The sources screens add, remove and purge sources (operations), search the vendor's
# directory (account), sign in to a source's store (payment), find links in text, and
# draw their cards and package rows as the browse screens do.
qb_layer(sources    src/sources         foundation system store uikit markdown core database interface
                                        operations account payment browse)
# The package page and its depictions: the browse floor's cells, reviews and developers
# (account), purchases (payment), the web views, and the HTML and Markdown libraries the
# depictions are read with.
qb_layer(package    src/package         foundation system store uikit webkit html markdown richtext core
                                        database interface account payment browse)
# The composition root builds everything.
qb_layer(app        src/app             foundation launcher system store security uikit render webkit html markdown
                                        richtext core database interface operations account payment browse
                                        sources package)

# Tests and benchmarks. A test folder tests/platform/X or tests/src/X may include X's
# whole floor and the fixtures; only tests and benchmarks see the fixtures, which may
# include everything.
qb_layer(support    tests/support       foundation launcher system store security uikit render webkit html markdown
                                        richtext core database interface operations account payment browse
                                        sources package app)
qb_layer(e2e        tests/e2e           foundation launcher system store security uikit render webkit html markdown
                                        richtext core database interface operations account payment browse
                                        sources package app support)
# The stores and the vendor's service played for a person at the terminal
# (scripts/play-stores, scripts/play-vendor-service).
qb_layer(played     tests/played        foundation launcher system store security uikit render webkit html markdown
                                        richtext core database interface operations account payment browse
                                        sources package app support)
qb_layer(bench      bench               foundation launcher system store security uikit render webkit html markdown
                                        richtext core database interface operations account payment browse
                                        sources package app support)  # the shared test data, found as the tests find it
