// The calculator page: fills the population and group lists from the
// service, sends the inputs to POST /v1/centile whenever one changes, and
// shows the answer. Everything the page knows about populations, groups,
// bands and flags comes from the service.
// The state of the page is on <main data-state>: "loading", "incomplete"
// (an input is empty or not a number), "computing", "ready" or "error".
"use strict";

const page = document.getElementById("calculator");
const form = document.getElementById("inputs");
const $ = (id) => document.getElementById(id);
let populations = [];
let chartAvailable = false;
let asked = 0;

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
  box.replaceChildren(...populations.map((population, i) => {
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

// The inputs as the service reads them, or null when one cannot be sent.
function inputs() {
  const fields = ["bwt", "wt", "ht", "gest-weeks"];
  for (const id of fields) {
    const input = $(id);
    if (input.value.trim() === "" || !input.checkValidity())
      return null;
  }
  return {
    population: selectedPopulation().name,
    bwt: $("bwt").value + $("bwt-unit").value,
    gest: $("gest-weeks").value + "+" + $("gest-days").value,
    wt: $("wt").value + $("wt-unit").value,
    ht: $("ht").value + $("ht-unit").value,
    sex: form.querySelector("input[name=sex]:checked").value,
    eth: $("eth").value,
    par: $("par").value,
  };
}

function clearResult() {
  for (const id of ["centile", "unrounded", "expected", "z", "coefficients"])
    $(id).textContent = "–";
  $("band").textContent = "";
  delete $("band").dataset.band;
  $("flags").replaceChildren();
  $("flags-box").hidden = true;
  $("chart-box").hidden = true;
}

function showResult(result, birth) {
  $("error").textContent = "";
  $("centile").textContent = String(result.rounded);
  $("unrounded").textContent = result.centile.toFixed(4);
  $("expected").textContent = Math.round(result.expectedWeight) + " g";
  $("z").textContent = result.z.toFixed(3);
  $("coefficients").textContent = result.population + " (" + result.coefficientSetVersion + ")";
  $("band").textContent = result.bandWords;
  $("band").dataset.band = result.band;
  $("flags").replaceChildren(...result.flags.map((flag) => {
    const item = document.createElement("li");
    item.textContent = flag.text;
    item.dataset.code = flag.code;
    return item;
  }));
  $("flags-box").hidden = result.flags.length === 0;
  if (chartAvailable) {
    $("chart").src = "/v1/chart.svg?" + new URLSearchParams(birth).toString();
    $("chart-box").hidden = false;
  }
}

async function compute() {
  const birth = inputs();
  if (!birth) {
    clearResult();
    $("error").textContent = "Enter every reading as a number.";
    setState("incomplete");
    return;
  }
  const mine = ++asked;
  page.dataset.asked = String(mine);
  setState("computing");
  try {
    const response = await fetch("/v1/centile", {
      method: "POST",
      headers: {"Content-Type": "application/json"},
      body: JSON.stringify(birth),
    });
    const answer = await response.json();
    if (mine !== asked)
      return;  // a newer question is under way
    page.dataset.answered = String(mine);
    if (!response.ok) {
      clearResult();
      $("error").textContent = answer.detail || answer.title;
      setState("error");
      return;
    }
    showResult(answer, birth);
    setState("ready");
  } catch (failure) {
    if (mine !== asked)
      return;
    page.dataset.answered = String(mine);
    clearResult();
    $("error").textContent = "The service did not answer: " + failure.message;
    setState("error");
  }
}

form.addEventListener("change", (event) => {
  if (event.target.name === "population")
    fillGroups();
  compute();
});
form.addEventListener("input", (event) => {
  if (event.target.tagName === "INPUT" && event.target.type === "number")
    compute();
});
form.addEventListener("submit", (event) => {
  event.preventDefault();
  compute();
});

async function start() {
  try {
    const [list, version] = await Promise.all([
      fetch("/v1/populations").then((r) => r.json()),
      fetch("/v1/version").then((r) => r.json()),
    ]);
    populations = list;
    chartAvailable = Boolean(version.chart);
    $("version").textContent = "Wrenfield " + version.version + ", coefficients " + version.coefficientSetVersion;
    showPopulations();
    await compute();
  } catch (failure) {
    $("error").textContent = "The service did not answer: " + failure.message;
    setState("error");
  }
}

start();
