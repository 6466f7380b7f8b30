# The page: the modules that touch no page, under Node.js alone, and the
# page itself, opened in three browser engines and used as a person would.

foreach(module queue rows size_steps)
  add_test_needing(page.${module} "node;nodejs" COMMAND node ${CMAKE_CURRENT_LIST_DIR}/${module}_test.mjs)
  set_label_and_time_limit(unit 30 page.${module})
endforeach()

# WebKit's browser needs a display, which xvfb-run gives it.
foreach(engine chromium firefox webkit)
  set(display)
  set(browser ${engine} ${engine})
  if(engine STREQUAL webkit)
    set(display xvfb-run -a)
    set(browser WebKitWebDriver webkit2gtk-driver xvfb-run xvfb)
  elseif(engine STREQUAL firefox)
    set(browser firefox-esr firefox-esr)
  endif()
  add_test_needing(browser.${engine} "node;nodejs;${browser}"
                   COMMAND ${display} node ${CMAKE_CURRENT_LIST_DIR}/browser_test.mjs ${PROJECT_BINARY_DIR}/teklo-web ${engine})
  set_label_and_time_limit(browser 300 browser.${engine})
  # Two browsers at once on a small machine would test its load instead.
  set_tests_properties(browser.${engine} PROPERTIES RUN_SERIAL ON)
endforeach()
if(NOT EXISTS ${PROJECT_SOURCE_DIR}/web/node_modules/puppeteer-core)
  add_test(NAME browser.npm_packages COMMAND ${CMAKE_COMMAND} -E echo
           "the browser test needs its npm packages: run 'npm ci' in ${PROJECT_SOURCE_DIR}/web")
  set_tests_properties(browser.npm_packages PROPERTIES FAIL_REGULAR_EXPRESSION ".")
  set_label_and_time_limit(browser 30 browser.npm_packages)
endif()
