// The calculator page: fills the population and group lists from the
// service, sends the inputs to POST /v1/centile whenever one changes, and
// shows the answer. Everything the page knows about populations, groups,
// bands, flags and how a centile is shown comes from the service.
//
// A result on the page always answers exactly the inputs on screen. Every
// change of an input clears the result at once and cancels the request in
// flight; each request carries the number of the change it answers, and an
// answer to an older change is dropped. An entry that cannot be sent marks
// its own field with what it expects, and no result is shown.
//
// The state of the page is on <main data-state>: "loading", "invalid" (an
// entry cannot be sent), "computing", "ready" or "error"; <main
// data-change> counts the changes, and #result's data-inputs holds the birth
// (as sent, in JSON) that the result shown answers.
"use strict";

const page = document.getElementById("calculator");
const form = document.getElementById("inputs");
const $ = (id) => document.getElementById(id);
let populations = [];
let chartAvailable = false;
let change = 0;            // the number of the latest change of the inputs
let inFlight = null;       // the AbortController of the request under way
let shownBirth = null;     // the birth of the result on screen, for redrawing its chart

// The readings typed as numbers: how each is written in each unit, for the
// message of an entry that is not one.
const MEASURES = {
  ht: {name: "Height", units: {cm: ["centimetres", "163"], m: ["metres", "1.63"], in: ["inches", "64"]}},
  wt: {name: "Booking weight", units: {kg: ["kilograms", "64"], lb: ["pounds", "141"], st: ["stones", "10.1"]}},
  bwt: {name: "Birthweight", units: {g: ["grams", "3400"], kg: ["kilograms", "3.4"], lb: ["pounds", "7.5"]}},
};
const WEEKS_MESSAGE = "Weeks: a whole number from 20 to 44; for 39+4 type 39 and pick 4 days";
const FIRST_WEEK = 20;
const LAST_WEEK = 44;
// A positive decimal number, with a point or a comma.
const DECIMAL = /^\s*(\d+([.,]\d*)?|[.,]\d+)\s*$/;
const WHOLE = /^\s*\d+\s*$/;
// The input of the page that shows each field of a birth.
const FIELD_INPUTS = {bwt: "bwt", gest: "gest-weeks", wt: "wt", ht: "ht"};

function setState(state) {
  page.dataset.state = state;
}

function selectedPopulation() {
  const checked = form.querySelector("input[name=population]:checked");
  return populations.find((p) => p.name === (checked && checked.value)) || populations[0];
}

function fillGroups() {
  const population = selectedPopulation();
  const eth = $("eth");
  const previous = eth.value;
  eth.replaceChildren(...population.groups.map((group) => {
    const option = document.createElement("option");
    option.value = group.name;
    option.textContent = group.name;
    return option;
  }));
  const keep = population.groups.some((g) => g.name === previous);
  eth.value = keep ? previous : population.defaultGroup;
}

function showPopulations() {
  const box = $("population-choices");
  box.replaceChildren(...populations.map((population) => {
    const label = document.createElement("label");
    label.className = "choice";
    const input = document.createElement("input");
    input.type = "radio";
    input.name = "population";
    input.value = population.name;
    input.id = "population-" + population.alias;
    input.checked = population.name === "United Kingdom";
    label.append(input, " " + population.name);
    return label;
  }));
  fillGroups();
}

// What is wrong with the entry of a field, or null.
function entryProblem(id) {
  const text = $(id).value;
  if (id === "gest-weeks") {
    const weeks = Number(text);
    return WHOLE.test(text) && weeks >= FIRST_WEEK && weeks <= LAST_WEEK ? null : WEEKS_MESSAGE;
  }
  const measure = MEASURES[id];
  const [unitWords, example] = measure.units[$(id + "-unit").value];
  if (DECIMAL.test(text) && Number(text.trim().replace(",", ".")) > 0)
    return null;
  return `${measure.name}: a positive number of ${unitWords}, such as ${example}`;
}

function markField(id, message) {
  const input = $(id);
  const box = $(id + "-message");
  if (message) {
    input.setAttribute("aria-invalid", "true");
    box.textContent = message;
    box.hidden = false;
  } else {
    input.removeAttribute("aria-invalid");
    box.textContent = "";
    box.hidden = true;
  }
}

function decimal(id) {
  return $(id).value.trim().replace(",", ".");
}

// The birth on screen as the service reads it, or null after marking every
// entry that cannot be sent.
function birthOnScreen() {
  let complete = true;
  for (const id of ["ht", "wt", "gest-weeks", "bwt"]) {
    const problem = entryProblem(id);
    markField(id, problem);
    complete = complete && !problem;
  }
  if (!complete)
    return null;
  return {
    population: selectedPopulation().name,
    bwt: decimal("bwt") + $("bwt-unit").value,
    gest: String(Number($("gest-weeks").value)) + "+" + $("gest-days").value,
    wt: decimal("wt") + $("wt-unit").value,
    ht: decimal("ht") + $("ht-unit").value,
    sex: form.querySelector("input[name=sex]:checked").value,
    eth: $("eth").value,
    par: $("par").value,
  };
}

function clearResult() {
  shownBirth = null;
  delete $("result").dataset.inputs;
  for (const id of ["centile", "unrounded", "expected", "z", "coefficients"])
    $(id).textContent = "–";
  $("band").textContent = "";
  delete $("band").dataset.band;
  $("flags").replaceChildren();
  $("flags-box").hidden = true;
  $("error").textContent = "";
  $("chart").removeAttribute("src");
  $("chart-box").hidden = true;
}

// The chart's size: the width of the result box, and a height that leaves
// the plot room on a narrow screen.
function chartSize() {
  const width = Math.max(200, Math.min(1200, Math.floor($("result").clientWidth
    - parseFloat(getComputedStyle($("result")).paddingLeft) - parseFloat(getComputedStyle($("result")).paddingRight))));
  const height = Math.round(Math.max(width * 2 / 3, Math.min(520, width * 1.3)));
  return {width, height};
}

function drawChart() {
  if (!chartAvailable || !shownBirth)
    return;
  const {width, height} = chartSize();
  const chart = $("chart");
  if (chart.dataset.width === String(width) && chart.getAttribute("src"))
    return;
  chart.width = width;
  chart.height = height;
  chart.dataset.width = String(width);
  const query = new URLSearchParams(shownBirth);
  query.set("width", String(width));
  query.set("height", String(height));
  chart.src = "/v1/chart.svg?" + query.toString();
  $("chart-box").hidden = false;
}

function showResult(result, birth) {
  clearResult();
  shownBirth = birth;
  $("result").dataset.inputs = JSON.stringify(birth);
  $("centile").textContent = result.centileText;
  $("unrounded").textContent = result.centile.toFixed(4);
  $("expected").textContent = Math.round(result.expectedWeight) + " g";
  $("z").textContent = result.z.toFixed(3);
  const population = populations.find((p) => p.name === result.population);
  $("coefficients").textContent = population ? population.coefficientLabel : result.population;
  $("band").textContent = result.bandWords;
  $("band").dataset.band = result.band;
  $("flags").replaceChildren(...result.flags.map((flag) => {
    const item = document.createElement("li");
    item.textContent = flag.text;
    item.dataset.code = flag.code;
    return item;
  }));
  $("flags-box").hidden = result.flags.length === 0;
  $("chart").removeAttribute("data-width");
  drawChart();
}

function showError(text, field) {
  $("error").textContent = text;
  const id = FIELD_INPUTS[field];
  if (id)
    markField(id, text);
}

async function compute(birth, mine) {
  const control = new AbortController();
  inFlight = control;
  setState("computing");
  try {
    const response = await fetch("/v1/centile", {
      method: "POST",
      headers: {"Content-Type": "application/json"},
      body: JSON.stringify(birth),
      signal: control.signal,
    });
    const answer = await response.json();
    if (mine !== change)
      return;  // the inputs changed since: this answer is for others
    inFlight = null;
    if (!response.ok) {
      showError(answer.detail || answer.title, answer.field);
      setState("error");
      return;
    }
    showResult(answer, birth);
    setState("ready");
  } catch (failure) {
    if (mine !== change)
      return;
    inFlight = null;
    showError("The service did not answer: " + failure.message);
    setState("error");
  }
}

// Every change of the inputs: the result shown no longer answers them.
function inputsChanged() {
  const mine = ++change;
  page.dataset.change = String(mine);
  if (inFlight)
    inFlight.abort();
  inFlight = null;
  clearResult();
  const birth = birthOnScreen();
  if (!birth) {
    setState("invalid");
    return;
  }
  compute(birth, mine);
}

form.addEventListener("change", (event) => {
  if (event.target.name === "population")
    fillGroups();
  // Text entries have already answered their "input" events.
  if (event.target.tagName !== "INPUT" || event.target.type !== "text")
    inputsChanged();
});
form.addEventListener("input", (event) => {
  if (event.target.tagName === "INPUT" && event.target.type === "text")
    inputsChanged();
});
form.addEventListener("submit", (event) => {
  event.preventDefault();
  inputsChanged();
});

// The chart follows the width of the screen (a phone turned, a window resized).
let resizeTimer = 0;
new ResizeObserver(() => {
  clearTimeout(resizeTimer);
  resizeTimer = setTimeout(drawChart, 150);
}).observe($("result"));

async function start() {
  try {
    const [list, version] = await Promise.all([
      fetch("/v1/populations").then((r) => r.json()),
      fetch("/v1/version").then((r) => r.json()),
    ]);
    populations = list;
    chartAvailable = Boolean(version.chart);
    $("version").textContent = "Wrenfield " + version.version + " · control version text " +
      version.coefficientSetVersion;
    showPopulations();
    inputsChanged();
  } catch (failure) {
    $("error").textContent = "The service did not answer: " + failure.message;
    setState("error");
  }
}

start();
